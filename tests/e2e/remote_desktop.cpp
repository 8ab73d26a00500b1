// SPDX-License-Identifier: GPL-3.0-or-later
// remote_desktop: a person at a GNOME desktop on Wayland, as mutter's own
// remote desktop sees one. Under Wayland no client may read the screen or
// type into another client's window; mutter lets a remote desktop session on
// its session bus do both: its screen cast of the monitor is a PipeWire
// stream, and the keys and pointer it sends go to whatever window has the
// keyboard, Wayland or X11. The session lasts as long as the D-Bus connection
// that made it, so this program holds it: it prints the PipeWire node that
// shows the screen, then reads commands on standard input, one a line, and
// answers each with "ok" once mutter has taken it (or "error: ..."):
//
//   key KEY...   presses and releases each key: a character (an upper-case
//                letter with Shift held), or Return, Escape, space, Tab,
//                Left, Up, Right, Down, F1 to F12; a chord is its keys joined by "+", the
//                modifiers Super, Alt, Control and Shift first (Super+h)
//   move X Y     moves the pointer to that point of the screen
//   click        presses and releases the left button
//
// It ends when its input ends, and with it the session.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

const QString RemoteDesktop = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString ScreenCast = QStringLiteral("org.gnome.Mutter.ScreenCast");

// X keysyms: a Latin-1 character is its own; a few named keys.
constexpr quint32 ShiftL = 0xffe1;
quint32 keysym(const QString &name)
{
    if (name == QLatin1String("Return"))
        return 0xff0d;
    if (name == QLatin1String("Escape"))
        return 0xff1b;
    if (name == QLatin1String("space"))
        return 0x20;
    if (name == QLatin1String("Tab"))
        return 0xff09;
    static const QStringList arrows = {QStringLiteral("Left"), QStringLiteral("Up"), QStringLiteral("Right"),
                                       QStringLiteral("Down")};
    if (arrows.contains(name))
        return 0xff51 + arrows.indexOf(name);
    if (name.size() >= 2 && name.at(0) == QLatin1Char('F')) {
        const int number = name.mid(1).toInt();
        if (number >= 1 && number <= 12)
            return 0xffbe + number - 1;
    }
    if (name.size() == 1 && name.at(0).unicode() > 0x20 && name.at(0).unicode() < 0x7f)
        return name.at(0).unicode();
    return 0;
}

quint32 modifier(const QString &name)
{
    if (name == QLatin1String("Super"))
        return 0xffeb;
    if (name == QLatin1String("Alt"))
        return 0xffe9;
    if (name == QLatin1String("Control"))
        return 0xffe3;
    if (name == QLatin1String("Shift"))
        return ShiftL;
    return 0;
}

// Linux input's left button (BTN_LEFT).
constexpr int LeftButton = 0x110;

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "remote_desktop: %s\n", qPrintable(what));
    std::exit(2);
}

class Session : public QObject
{
    Q_OBJECT
public:
    explicit Session(QDBusConnection bus) : m_bus(bus) {}

    // A remote desktop session and its screen cast of the monitor, started.
    void start()
    {
        QDBusInterface remote(RemoteDesktop, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), RemoteDesktop, m_bus);
        const QDBusReply<QDBusObjectPath> session = remote.call(QStringLiteral("CreateSession"));
        if (!session.isValid())
            fail(QStringLiteral("no remote desktop session: ") + session.error().message());
        m_input = new QDBusInterface(RemoteDesktop, session.value().path(), RemoteDesktop + QLatin1String(".Session"),
                                     m_bus, this);
        const QString id = m_input->property("SessionId").toString();

        QDBusInterface cast(ScreenCast, QStringLiteral("/org/gnome/Mutter/ScreenCast"), ScreenCast, m_bus);
        const QDBusReply<QDBusObjectPath> castSession =
            cast.call(QStringLiteral("CreateSession"), QVariantMap{{QStringLiteral("remote-desktop-session-id"), id}});
        if (!castSession.isValid())
            fail(QStringLiteral("no screen cast session: ") + castSession.error().message());
        QDBusInterface castInterface(ScreenCast, castSession.value().path(), ScreenCast + QLatin1String(".Session"),
                                     m_bus);
        // The whole monitor (the only one, so the primary, named by ""),
        // without the pointer: the screen is judged as the windows draw it.
        const QDBusReply<QDBusObjectPath> stream = castInterface.call(
            QStringLiteral("RecordMonitor"), QString(), QVariantMap{{QStringLiteral("cursor-mode"), 0u}});
        if (!stream.isValid())
            fail(QStringLiteral("no screen cast of the monitor: ") + stream.error().message());
        m_stream = stream.value().path();
        m_bus.connect(ScreenCast, m_stream, ScreenCast + QLatin1String(".Stream"), QStringLiteral("PipeWireStreamAdded"),
                      this, SLOT(streamAdded(uint)));
        const QDBusMessage started = m_input->call(QStringLiteral("Start"));
        if (started.type() == QDBusMessage::ErrorMessage)
            fail(QStringLiteral("the session did not start: ") + started.errorMessage());
        // The first key of the session's keyboard only brings its keymap to
        // the clients, which then miss the key itself: a lone Shift is that key.
        const QString error = notify("NotifyKeyboardKeysym", ShiftL, true);
        if (!error.isEmpty() || !notify("NotifyKeyboardKeysym", ShiftL, false).isEmpty())
            fail(QStringLiteral("the session's keyboard does not type: ") + error);
    }

    bool announced() const { return m_announced; }

public slots:
    void streamAdded(uint node)
    {
        m_announced = true;
        std::printf("%u\n", node);
        std::fflush(stdout);
        auto *input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(input, &QSocketNotifier::activated, this, &Session::readCommand);
    }

private:
    void readCommand()
    {
        char line[4096];
        if (!std::fgets(line, sizeof line, stdin)) {
            QCoreApplication::quit();
            return;
        }
        const QStringList words = QString::fromLocal8Bit(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString error = words.isEmpty() ? QString() : run(words.first().trimmed(), words.mid(1));
        std::printf("%s\n", error.isEmpty() ? "ok" : qPrintable(QLatin1String("error: ") + error));
        std::fflush(stdout);
    }

    // Runs one command; what went wrong, or nothing.
    QString run(const QString &command, QStringList arguments)
    {
        for (QString &argument : arguments)
            argument = argument.trimmed();
        if (command == QLatin1String("key")) {
            for (const QString &chord : arguments) {
                QStringList names = chord.split(QLatin1Char('+'));
                const QString name = names.takeLast();
                // A modifier alone is a key too (Super, as a toddler presses it).
                const quint32 sym = keysym(name) ? keysym(name) : modifier(name);
                if (sym == 0)
                    return QStringLiteral("unknown key ") + name;
                QList<quint32> held;
                for (const QString &m : std::as_const(names)) {
                    if (modifier(m) == 0)
                        return QStringLiteral("unknown modifier ") + m;
                    held.append(modifier(m));
                }
                if (name.size() == 1 && name.at(0).isUpper() && !held.contains(ShiftL))
                    held.append(ShiftL);
                QString error;
                for (quint32 m : std::as_const(held)) {
                    if (error.isEmpty())
                        error = notify("NotifyKeyboardKeysym", m, true);
                }
                if (error.isEmpty())
                    error = notify("NotifyKeyboardKeysym", sym, true);
                if (error.isEmpty())
                    error = notify("NotifyKeyboardKeysym", sym, false);
                // Every modifier pressed is released, even after an error.
                for (auto m = held.crbegin(); m != held.crend(); ++m) {
                    const QString released = notify("NotifyKeyboardKeysym", *m, false);
                    if (error.isEmpty())
                        error = released;
                }
                if (!error.isEmpty())
                    return error;
            }
            return {};
        }
        if (command == QLatin1String("move") && arguments.size() == 2)
            return notify("NotifyPointerMotionAbsolute", m_stream, arguments[0].toDouble(), arguments[1].toDouble());
        if (command == QLatin1String("click")) {
            const QString error = notify("NotifyPointerButton", LeftButton, true);
            return error.isEmpty() ? notify("NotifyPointerButton", LeftButton, false) : error;
        }
        return QStringLiteral("unknown command ") + command;
    }

    template<typename... Arguments>
    QString notify(const char *method, Arguments... arguments)
    {
        const QDBusMessage reply = m_input->call(QLatin1String(method), arguments...);
        return reply.type() == QDBusMessage::ErrorMessage ? reply.errorMessage() : QString();
    }

    QDBusConnection m_bus;
    QDBusInterface *m_input = nullptr;
    QString m_stream;
    bool m_announced = false;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        fail(QStringLiteral("no session bus"));
    if (!bus.interface()->isServiceRegistered(RemoteDesktop))
        fail(QStringLiteral("mutter's remote desktop is not on the session bus"));
    Session session(bus);
    session.start();
    // The stream is announced at once once the session starts; a bounded wait
    // all the same, so that a mutter that never announces it fails the test.
    QTimer::singleShot(30000, &app, [&session] {
        if (!session.announced())
            fail(QStringLiteral("the screen cast's stream was never announced"));
    });
    return app.exec();
}

#include "remote_desktop.moc"
