// SPDX-License-Identifier: GPL-3.0-or-later
// SingleInstance through the session bus, for a Qt with D-Bus.
#include "single_instance.h"
#include "x11_activation.h"

#include <QApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <future>
#include <system_error>

namespace {

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
    using Handler = std::function<void(const QVariantMap &platformData)>;

    ApplicationAdaptor(QObject *parent, Handler activate)
        : QDBusAbstractAdaptor(parent)
        , m_activate(std::move(activate))
    { }

public slots:
    void Activate(const QVariantMap &platformData) { m_activate(platformData); }
    // Quilloro opens no files and has no actions: both only bring it forward.
    void Open(const QStringList &, const QVariantMap &platformData) { m_activate(platformData); }
    void ActivateAction(const QString &, const QVariantList &, const QVariantMap &platformData)
    {
        m_activate(platformData);
    }

private:
    Handler m_activate;
};

} // namespace

struct SingleInstance::Private {
    SingleInstance *q = nullptr;
    QString serviceName;
    QString objectPath;
    QVariantMap platformData;
    QPointer<QWidget> window;
    std::future<QDBusConnection> connecting;
    bool owner = false;

    bool ownName();
    void releaseName();
    // What the running program does with an Activate call: the window, or
    // the message box it has open, raised and given the keyboard, with the
    // token the launcher gave the later start.
    void activate(const QVariantMap &platformData);
};

SingleInstance::SingleInstance(const QString &serviceName, const QString &objectPath)
    : d(std::make_unique<Private>())
{
    d->q = this;
    d->serviceName = serviceName;
    d->objectPath = objectPath;
    // The tokens a launcher gives a start, to be passed to the running
    // program: a Wayland compositor or an X11 window manager lets a window
    // take the focus on the strength of them.
    const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
    if (!token.isEmpty())
        d->platformData.insert(QStringLiteral("activation-token"), QString::fromUtf8(token));
    const QByteArray startupId = qgetenv("DESKTOP_STARTUP_ID");
    if (!startupId.isEmpty())
        d->platformData.insert(QStringLiteral("desktop-startup-id"), QString::fromUtf8(startupId));
}

SingleInstance::~SingleInstance() = default;

void SingleInstance::Private::releaseName()
{
    if (!owner)
        return;
    owner = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(serviceName);
    bus.unregisterObject(objectPath);
}

bool SingleInstance::Private::ownName()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The object is there before the name, so that a start that finds the
    // name taken can call it at once.
    bus.registerObject(objectPath, q, QDBusConnection::ExportAdaptors);
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
        serviceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    owner = reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
    if (!owner) {
        bus.unregisterObject(objectPath);
        return false;
    }
    // A program on its way out lets the name go at once: a start in the
    // meantime then opens its own window instead of calling a window that
    // is about to close.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, q, [this] { releaseName(); });
    return true;
}

void SingleInstance::connectInBackground()
{
    // Connecting takes a few round trips to the bus, and where the session
    // has no bus address libdbus first looks for one over X11: on a thread
    // of its own, it overlaps with building the window.
    try {
        d->connecting = std::async(std::launch::async, [] { return QDBusConnection::sessionBus(); });
    } catch (const std::system_error &) {
        // No thread to be had: handedOver() connects by itself.
    }
}

bool SingleInstance::handedOver()
{
    QDBusConnection bus = d->connecting.valid() ? d->connecting.get() : QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    new ApplicationAdaptor(this, [this](const QVariantMap &platformData) { d->activate(platformData); });
    // More than once: the owner may end between our finding its name taken
    // and our call, and then the name is soon free for this start.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (d->ownName())
            return false;
        QDBusMessage call =
            QDBusMessage::createMethodCall(d->serviceName, d->objectPath, Interface, QStringLiteral("Activate"));
        call << d->platformData;
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
    d->window = window;
}

void SingleInstance::Private::activate(const QVariantMap &platformData)
{
    if (!window)
        return;
    // Qt's Wayland plugin hands the compositor the token it finds in the
    // environment with the window's next activation request.
    const QString token = platformData.value(QStringLiteral("activation-token")).toString();
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (wayland && !token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    // A message box waiting for an answer is what the child must answer
    // first: it gets the keyboard. (Qt would hand it over from the window it
    // blocks, but on X11 with the stale time that the server may ignore.)
    QWidget *target = QApplication::activeModalWidget();
    if (!target)
        target = window;
    target->raise();
    if (activateOnX11(target, platformData.value(QStringLiteral("desktop-startup-id")).toString()))
        return;
    target->activateWindow();
    // A token is good for one activation; a compositor without activation
    // support leaves it unused, and it must not serve a later one.
    if (wayland)
        qunsetenv("XDG_ACTIVATION_TOKEN");
}

#include "single_instance_dbus.moc"
