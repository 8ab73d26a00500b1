// SPDX-License-Identifier: GPL-3.0-or-later
#include "pulse_session.h"

namespace PulseSession {

pa_threaded_mainloop *startLoop(const char *threadName)
{
    pa_threaded_mainloop *loop = pa_threaded_mainloop_new();
    if (!loop)
        return nullptr;
    pa_threaded_mainloop_set_name(loop, threadName);
    if (pa_threaded_mainloop_start(loop) < 0) {
        pa_threaded_mainloop_free(loop);
        return nullptr;
    }
    return loop;
}

bool connect(pa_context *&context, pa_threaded_mainloop *loop, const char *applicationName,
             pa_context_notify_cb_t stateChanged, void *self)
{
    pa_proplist *properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, applicationName);
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "io.github.quilloro.Quilloro");
    context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop), "Quilloro", properties);
    pa_proplist_free(properties);
    if (!context)
        return false;
    pa_context_set_state_callback(context, stateChanged, self);
    return pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
}

void disconnect(pa_context *&context)
{
    pa_context *old = std::exchange(context, nullptr);
    if (!old)
        return;
    pa_context_set_state_callback(old, nullptr, nullptr);
    pa_context_disconnect(old);
    pa_context_unref(old);
}

void disconnect(pa_stream *&stream)
{
    pa_stream *old = std::exchange(stream, nullptr);
    if (!old)
        return;
    pa_stream_set_state_callback(old, nullptr, nullptr);
    pa_stream_set_write_callback(old, nullptr, nullptr);
    pa_stream_set_read_callback(old, nullptr, nullptr);
    pa_stream_set_moved_callback(old, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(old)))
        pa_stream_disconnect(old);
    pa_stream_unref(old);
}

} // namespace PulseSession
