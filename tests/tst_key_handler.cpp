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
    void afterCaptionShown(std::function<void()> then) override { then(); }
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
    void choices_data();
    void choices();
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

// The grown-ups' choices, key after key: what is shown, heard and boxed.
void TestKeyHandler::choices_data()
{
    QTest::addColumn<QString>("choices"); // M capitals, B child lock
    QTest::addColumn<QString>("keys");    // \x1b is Escape
    QTest::addColumn<QStringList>("expected");

    const QString farewell = u"box Ciao alla prossima | A presto da Ferlandi | 0"_s;
    const QString question = u"box Premi un altro tasto | Fai attenzione, non hai premuto un tasto alfanumerico | 1"_s;
    const auto shown = [](const char *caption, const char *key) {
        return QStringList{u"caption "_s + QString::fromUtf8(caption), u"suona /opt/quilloro/IMG/"_s + QLatin1String(key) + u".wav"_s};
    };
    // clang-format off
    QTest::newRow("capitals: small and capital letters are the same key")
        << u"M"_s << u"aAzZ"_s << shown("A", "a") + shown("A", "a") + shown("Z", "z") + shown("Z", "z");
    QTest::newRow("capitals: digits as they are")
        << u"M"_s << u"7"_s << shown("7", "7");
    QTest::newRow("capitals: an accented capital is another key")
        << u"M"_s << u"È"_s << QStringList{u"caption È"_s, question};
    QTest::newRow("capitals: Escape still ends")
        << u"M"_s << u"\x1b"_s << QStringList{farewell, u"end"_s};
    QTest::newRow("no choice: a capital is another key")
        << QString() << u"A"_s << QStringList{u"caption A"_s, question};
    QTest::newRow("lock: Escape does nothing at all")
        << u"B"_s << u"\x1b\x1b"_s << QStringList{};
    QTest::newRow("lock: the word ends the lesson")
        << u"B"_s << u"esci"_s << shown("e", "e") + shown("s", "s") + shown("c", "c") + QStringList{farewell, u"end"_s};
    QTest::newRow("lock: in any case, a capital its letter, no box")
        << u"B"_s << u"xEsCi"_s << shown("x", "x") + shown("e", "e") + shown("s", "s") + shown("c", "c") + QStringList{farewell, u"end"_s};
    QTest::newRow("lock: other keys still boxed")
        << u"B"_s << u"È!"_s << QStringList{u"caption È"_s, question, u"caption !"_s, question};
    QTest::newRow("lock: Escape inside the word changes nothing either")
        << u"B"_s << u"esc\x1bi"_s << shown("e", "e") + shown("s", "s") + shown("c", "c") + QStringList{farewell, u"end"_s};
    QTest::newRow("lock: a broken word is letters")
        << u"B"_s << u"es ci"_s << shown("e", "e") + shown("s", "s") + QStringList{u"caption  "_s, question} + shown("c", "c") + shown("i", "i");
    QTest::newRow("lock and capitals: capitals shown, word ends")
        << u"MB"_s << u"ESCI"_s << shown("E", "e") + shown("S", "s") + shown("C", "c") + QStringList{farewell, u"end"_s};
    QTest::newRow("no lock: the word is letters")
        << QString() << u"esci"_s << shown("e", "e") + shown("s", "s") + shown("c", "c") + shown("i", "i");
    // clang-format on
}

void TestKeyHandler::choices()
{
    QFETCH(QString, choices);
    QFETCH(QString, keys);
    QFETCH(QStringList, expected);

    FakeWindow window;
    LessonChoices lesson;
    lesson.capitals = choices.contains(u'M');
    lesson.childLock = choices.contains(u'B');
    for (const char32_t code : keys.toUcs4())
        Text1_KeyPress(code, window, window, lesson);
    QStringList seen;
    for (const QString &call : std::as_const(window.calls)) {
        if (call.startsWith(u"caption") || call.startsWith(u"suona") || call.startsWith(u"box") || call == u"end")
            seen << call;
    }
    QCOMPARE(seen, expected);
}

QTEST_APPLESS_MAIN(TestKeyHandler)
#include "tst_key_handler.moc"
