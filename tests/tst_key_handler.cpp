// SPDX-License-Identifier: GPL-3.0-or-later
#include "key_handler.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Records every call the key lesson makes, in order, as one readable line each.
class FakeWindow : public WindowOperations, public SoundOperations
{
public:
    QStringList calls;
    QString folder = QStringLiteral("/opt/quilloro");
    bool pictureLoads = true;

    void setLabelFontSize(float points) override { calls << QStringLiteral("font %1").arg(points); }
    void focusKeyBox() override { calls << QStringLiteral("focus"); }
    void setLabelCaption(const QString &caption) override { calls << u"caption "_s + caption; }
    void setPictureVisible(bool visible) override { calls << (visible ? u"show"_s : u"hide"_s); }
    bool loadPicture(const QString &path, QString &reason) override
    {
        calls << u"load "_s + path;
        if (!pictureLoads)
            reason = QStringLiteral("Il file non esiste.");
        return pictureLoads;
    }
    QString programFolder() const override { return folder; }
    void showMessage(const QString &text, const QString &title, MessageIcon icon) override
    {
        calls << QStringLiteral("box %1 | %2 | %3").arg(text, title).arg(int(icon));
    }
    void endProgram() override { calls << QStringLiteral("end"); }
    void suona(const QString &path) override { calls << u"suona "_s + path; }
};

class TestKeyHandler : public QObject
{
    Q_OBJECT

private slots:
    void callSequence_data();
    void callSequence();
    void recognition_data();
    void recognition();
};

void TestKeyHandler::callSequence_data()
{
    QTest::addColumn<uint>("code");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("pictureLoads");
    QTest::addColumn<QStringList>("expected");

    const auto box = [](const char *text, const char *title, MessageIcon icon) {
        return QStringLiteral("box %1 | %2 | %3").arg(QString::fromUtf8(text), QString::fromUtf8(title)).arg(int(icon));
    };
    const QString question =
        box("Premi un altro tasto", "Fai attenzione, non hai premuto un tasto alfanumerico", MessageIcon::Question);
    // A recognized key: its character, its recording, then its picture.
    const auto shown = [](const QString &key, const QString &media) {
        return QStringList{"font 216",
                           "focus",
                           "hide",
                           u"caption "_s + key,
                           u"suona "_s + media + u".wav"_s,
                           "show",
                           u"load "_s + media + u".jpg"_s};
    };
    // clang-format off
    QTest::newRow("recognized letter") << uint('b') << "/opt/quilloro" << true << shown(u"b"_s, u"/opt/quilloro/IMG/b"_s);
    // The folder is used as given: a root that keeps its separator gives two in a row.
    QTest::newRow("program in the root folder") << uint('q') << "/" << true << shown(u"q"_s, u"//IMG/q"_s);
    QTest::newRow("folder with spaces and accents") << uint('q') << u"/home/a b/perché"_s << true << shown(u"q"_s, u"/home/a b/perché/IMG/q"_s);
    QTest::newRow("escape") << 27u << "/opt/quilloro" << true
                            << QStringList{"font 216", "focus", box("Ciao alla prossima", "A presto da Ferlandi", MessageIcon::Exclamation), "end"};
    QTest::newRow("upper case") << uint('A') << "/opt/quilloro" << true << QStringList{"font 216", "focus", "hide", "caption A", question};
    QTest::newRow("accented") << 0xE8u << "/opt/quilloro" << true << QStringList{"font 216", "focus", "hide", u"caption è"_s, question};
    // The recording has started before the picture fails; the previous
    // key's picture must not stay up beside the new character.
    QTest::newRow("picture fails") << uint('7') << "/opt/quilloro" << false
                                   << shown(u"7"_s, u"/opt/quilloro/IMG/7"_s) + QStringList{"hide",
                                      box("Non riesco a mostrare l'immagine\n/opt/quilloro/IMG/7.jpg\n\nIl file non esiste.", "Immagine non disponibile", MessageIcon::Critical)};
    // clang-format on
}

void TestKeyHandler::callSequence()
{
    QFETCH(uint, code);
    QFETCH(QString, folder);
    QFETCH(bool, pictureLoads);
    QFETCH(QStringList, expected);

    FakeWindow window;
    window.folder = folder;
    window.pictureLoads = pictureLoads;
    Text1_KeyPress(code, window, window);
    QCOMPARE(window.calls, expected);
}

void TestKeyHandler::recognition_data()
{
    QTest::addColumn<uint>("code");
    QTest::addColumn<bool>("recognized");

    const QString all = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyz");
    for (const QChar c : all)
        QTest::newRow(qPrintable(QString(c))) << uint(c.unicode()) << true;

    // Near misses: upper case, punctuation, control characters, accented
    // letters, other digits and letters, a character beyond 16 bits.
    for (const uint code :
         {uint('A'), uint('Z'), uint(' '), uint('.'), uint('/'), uint('<'), 13u,   8u,      1u,      0u,
          0xE0u,     0xE8u,     0xE9u,     0xECu,     0xF2u,     0xF9u,     0xB2u, 0xFF41u, 0x0661u, 0x1F600u})
        QTest::addRow("U+%04X", code) << code << false;
}

void TestKeyHandler::recognition()
{
    QFETCH(uint, code);
    QFETCH(bool, recognized);

    FakeWindow window;
    Text1_KeyPress(code, window, window);
    const bool played = window.calls.filter(QStringLiteral("suona ")).size() == 1;
    const bool answered = window.calls.filter(QStringLiteral("box Premi un altro tasto")).size() == 1;
    QCOMPARE(played, recognized);
    QCOMPARE(answered, !recognized);
    // Whatever the key, the label shows exactly its character.
    QCOMPARE(window.calls.at(3), u"caption "_s + QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1));
}

QTEST_APPLESS_MAIN(TestKeyHandler)
#include "tst_key_handler.moc"
