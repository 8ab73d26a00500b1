// SPDX-License-Identifier: GPL-3.0-or-later
#include "single_instance.h"

#include <QApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QWidget>
#include <QWindow>

#if defined(QUILLORO_X11_ACTIVATION) && !QT_CONFIG(xcb)
#undef QUILLORO_X11_ACTIVATION // a Qt without X11 has no X11 window to activate
#endif
#ifdef QUILLORO_X11_ACTIVATION
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#endif

namespace {

// The desktop file's name, and the bus name and object path that
// org.freedesktop.Application derives from it.
const QString ServiceName = QStringLiteral("io.github.quilloro.Quilloro");
const QString ObjectPath = QStringLiteral("/io/github/quilloro/Quilloro");
const QString Interface = QStringLiteral("org.freedesktop.Application");

// How long a later start waits for the running program to answer. It answers
// from its event loop, which a slow start (a busy machine, Valgrind) may not
// have reached yet; a program that never answers is taken for gone.
constexpr int ActivateTimeoutMs = 10000;

// org.freedesktop.Application on the bus, for the program that owns the name.
class ApplicationAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationAdaptor(SingleInstance *instance)
        : QDBusAbstractAdaptor(instance)
        , m_instance(instance)
    { }

public slots:
    void Activate(const QVariantMap &platformData) { m_instance->activate(platformData); }
    // Quilloro opens no files and has no actions: both only bring it forward.
    void Open(const QStringList &, const QVariantMap &platformData) { m_instance->activate(platformData); }
    void ActivateAction(const QString &, const QVariantList &, const QVariantMap &platformData)
    {
        m_instance->activate(platformData);
    }

private:
    SingleInstance *m_instance;
};

#ifdef QUILLORO_X11_ACTIVATION

template<typename Reply> using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, false, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The time of the click or key that launched the later start: launchers
// write it at the end of the startup id, after "_TIME".
xcb_timestamp_t launchTime(const QString &startupId)
{
    const qsizetype at = startupId.lastIndexOf(QLatin1String("_TIME"));
    bool ok = false;
    const uint time = at < 0 ? 0 : startupId.mid(at + 5).toUInt(&ok);
    return ok ? xcb_timestamp_t(time) : xcb_timestamp_t(XCB_CURRENT_TIME);
}

bool windowManagerActivates(xcb_connection_t *connection, xcb_window_t root)
{
    const xcb_atom_t activeWindow = atom(connection, "_NET_ACTIVE_WINDOW");
    const XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(
            connection,
            xcb_get_property(connection, false, root, atom(connection, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 0, 4096),
            nullptr),
        &std::free);
    if (!reply || reply->format != 32)
        return false;
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(xcb_atom_t));
    return std::find(atoms, atoms + count, activeWindow) != atoms + count;
}

// Ends the launcher's busy pointer for the start that handed over and will
// never show a window: the X11 startup-notification "remove" message, sent to
// the root window in pieces of 20 bytes, the last one ending in a zero byte.
void endLaunchFeedback(xcb_connection_t *connection, xcb_window_t root, xcb_window_t window, const QString &id)
{
    QString quoted = id;
    quoted.replace(u'\\', QLatin1String("\\\\")).replace(u'"', QLatin1String("\\\""));
    const QByteArray message = QStringLiteral("remove: ID=\"%1\"").arg(quoted).toUtf8() + '\0';
    const xcb_atom_t begin = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(connection, "_NET_STARTUP_INFO");
    for (qsizetype at = 0; at < message.size(); at += 20) {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = window;
        event.type = at == 0 ? begin : more;
        std::memcpy(event.data.data8, message.constData() + at, std::min<qsizetype>(20, message.size() - at));
        xcb_send_event(connection, false, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char *>(&event));
    }
}

// Gives the window the keyboard on X11. Qt's own request carries the time of
// the last event the program saw, older than the other window's taking the
// focus, and the X server (or a window manager) ignores it; this one carries
// the launch's time, or none.
void activateOnX11(QWidget *widget, const QString &startupId)
{
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return;
    xcb_connection_t *connection = x11->connection();
    const auto window = xcb_window_t(widget->winId());
    const XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr), &std::free);
    if (!geometry)
        return;
    const xcb_window_t root = geometry->root;
    const xcb_timestamp_t time = launchTime(startupId);
    if (windowManagerActivates(connection, root)) {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atom(connection, "_NET_ACTIVE_WINDOW");
        event.data.data32[0] = 1; // asked for by an application
        event.data.data32[1] = time;
        xcb_send_event(connection, false, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&event));
    } else {
        xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, window, time);
    }
    if (!startupId.isEmpty())
        endLaunchFeedback(connection, root, window, startupId);
    xcb_flush(connection);
}

#endif

} // namespace

SingleInstance::SingleInstance()
{
    // The tokens a launcher gives a start, to be passed to the running
    // program: a Wayland compositor or an X11 window manager lets a window
    // take the focus on the strength of them.
    const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
    if (!token.isEmpty())
        m_platformData.insert(QStringLiteral("activation-token"), QString::fromUtf8(token));
    const QByteArray startupId = qgetenv("DESKTOP_STARTUP_ID");
    if (!startupId.isEmpty())
        m_platformData.insert(QStringLiteral("desktop-startup-id"), QString::fromUtf8(startupId));
}

SingleInstance::~SingleInstance() = default;

void SingleInstance::releaseName()
{
    if (!m_owner)
        return;
    m_owner = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(ServiceName);
    bus.unregisterObject(ObjectPath);
}

bool SingleInstance::ownName()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The object is there before the name, so that a start that finds the
    // name taken can call it at once.
    bus.registerObject(ObjectPath, this, QDBusConnection::ExportAdaptors);
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
        ServiceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    m_owner = reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
    if (!m_owner) {
        bus.unregisterObject(ObjectPath);
        return false;
    }
    // A program on its way out lets the name go at once: a start in the
    // meantime then opens its own window instead of calling a window that
    // is about to close.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &SingleInstance::releaseName);
    return true;
}

bool SingleInstance::handedOver()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    new ApplicationAdaptor(this);
    // More than once: the owner may end between our finding its name taken
    // and our call, and then the name is soon free for this start.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (ownName())
            return false;
        QDBusMessage call =
            QDBusMessage::createMethodCall(ServiceName, ObjectPath, Interface, QStringLiteral("Activate"));
        call << m_platformData;
        const QDBusMessage reply = bus.call(call, QDBus::Block, ActivateTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
        // An owner that does not answer will not answer a second call either.
        if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply"))
            break;
    }
    // The name is held by a program that does not answer, or not as
    // Quilloro would: a lesson of its own is better than none.
    return false;
}

void SingleInstance::setWindow(QWidget *window)
{
    m_window = window;
}

void SingleInstance::activate(const QVariantMap &platformData)
{
    if (!m_window)
        return;
    // Qt's Wayland plugin hands the compositor the token it finds in the
    // environment with the window's next activation request.
    const QString token = platformData.value(QStringLiteral("activation-token")).toString();
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (wayland && !token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    if (m_window->isMinimized())
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->raise();
    // A message box waiting for an answer is what the child must answer
    // first: it gets the keyboard. (Qt would hand it over from the window it
    // blocks, but on X11 with the stale time that the server may ignore.)
    QWidget *target = QApplication::activeModalWidget();
    if (!target)
        target = m_window;
    target->raise();
#ifdef QUILLORO_X11_ACTIVATION
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        activateOnX11(target, platformData.value(QStringLiteral("desktop-startup-id")).toString());
        return;
    }
#endif
    target->activateWindow();
    // A token is good for one activation; a compositor without activation
    // support leaves it unused, and it must not serve a later one.
    if (wayland)
        qunsetenv("XDG_ACTIVATION_TOKEN");
}

#include "single_instance.moc"
