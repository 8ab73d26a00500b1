// SPDX-License-Identifier: GPL-3.0-or-later
#include "key_handler.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Records every call the key lesson makes, in order, as one readable line each.
class FakeWindow : public WindowOperations, public SoundOperations
{
public:
    QStringList calls;
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
    QString programFolder() const override { return QStringLiteral("/opt/quilloro"); }
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
};

void TestKeyHandler::callSequence_data()
{
    QTest::addColumn<uint>("code");
    QTest::addColumn<bool>("pictureLoads");
    QTest::addColumn<QStringList>("expected");

    const auto box = [](const char *text, const char *title, MessageIcon icon) {
        return QStringLiteral("box %1 | %2 | %3").arg(QString::fromUtf8(text), QString::fromUtf8(title)).arg(int(icon));
    };
    const QString question =
        box("Premi un altro tasto", "Fai attenzione, non hai premuto un tasto alfanumerico", MessageIcon::Question);
    // A recognized key: its character, its recording, then its picture.
    const auto shown = [](const QString &key) {
        const QString media = u"/opt/quilloro/IMG/"_s + key;
        return QStringList{"font 216",
                           "focus",
                           "hide",
                           u"caption "_s + key,
                           u"suona "_s + media + u".wav"_s,
                           "show",
                           u"load "_s + media + u".jpg"_s};
    };
    const auto other = [&question](const QString &caption) {
        return QStringList{"font 216", "focus", "hide", u"caption "_s + caption, question};
    };
    // clang-format off
    QTest::newRow("recognized letter") << uint('b') << true << shown(u"b"_s);
    QTest::newRow("escape") << 27u << true
                            << QStringList{"font 216", "focus", box("Ciao alla prossima", "A presto da Ferlandi", MessageIcon::Exclamation), "end"};
    // Which keys are a lesson's is the word list's test; the window shows
    // any other one whole, a character beyond 16 bits too.
    QTest::newRow("upper case") << uint('A') << true << other(u"A"_s);
    QTest::newRow("beyond 16 bits") << 0x1F600u << true << other(u"😀"_s);
    // The recording has started before the picture fails; the previous
    // key's picture must not stay up beside the new character.
    QTest::newRow("picture fails") << uint('7') << false
                                   << shown(u"7"_s) + QStringList{"hide",
                                      box("Non riesco a mostrare l'immagine\n/opt/quilloro/IMG/7.jpg\n\nIl file non esiste.", "Immagine non disponibile", MessageIcon::Critical)};
    // clang-format on
}

void TestKeyHandler::callSequence()
{
    QFETCH(uint, code);
    QFETCH(bool, pictureLoads);
    QFETCH(QStringList, expected);

    FakeWindow window;
    window.pictureLoads = pictureLoads;
    Text1_KeyPress(code, window, window);
    QCOMPARE(window.calls, expected);
}

QTEST_APPLESS_MAIN(TestKeyHandler)
#include "tst_key_handler.moc"
