// SPDX-License-Identifier: GPL-3.0-or-later
// activateOnX11() where Qt runs on X11 through xcb.
#include "x11_activation.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

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

} // namespace

bool activateOnX11(QWidget *widget, const QString &startupId)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return true;
    xcb_connection_t *connection = x11->connection();
    const auto window = xcb_window_t(widget->winId());
    const XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr), &std::free);
    if (!geometry)
        return true;
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
    return true;
}
