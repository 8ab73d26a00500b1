// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pulse/pulseaudio.h>

#include <utility>

// What the player and the capture share of talking to the sound server
// through libpulse: a threaded main loop of their own, the connection made
// the program's way, and the teardown of its objects. Internal to the sound
// library on PulseAudio platforms.
namespace PulseSession {

// A threaded main loop whose thread is called threadName, started; nullptr
// when it cannot be made or started.
pa_threaded_mainloop *startLoop(const char *threadName);

// Ends a loop from startLoop(): its thread first, so that no callback runs
// while teardown() releases the context and stream the loop served, then
// the loop itself. Nothing happens when loop is null; it is null afterwards.
template<typename Teardown> void endLoop(pa_threaded_mainloop *&loop, Teardown teardown)
{
    if (!loop)
        return;
    pa_threaded_mainloop_stop(loop);
    teardown();
    pa_threaded_mainloop_free(std::exchange(loop, nullptr));
}

// Makes context, named applicationName to the server, with stateChanged
// (called with self) watching it, and starts connecting; called with the
// loop's lock held. context is set before connecting, so that the callback,
// which checks it, knows the context for its own even when libpulse calls it
// from inside the connection attempt. A sound server is never started: false
// when there is none to connect to, or the context cannot be made (context
// is then null); a context left set is the caller's to disconnect.
bool connect(pa_context *&context, pa_threaded_mainloop *loop, const char *applicationName,
             pa_context_notify_cb_t stateChanged, void *self);

// Disconnects context and releases it, after taking its callback away;
// context is null first, as disconnecting calls the callback again.
void disconnect(pa_context *&context);

// Disconnects stream if still connected and releases it, after taking its
// callbacks away; stream is null first, as a stream that has failed keeps its
// callbacks however they are set, and disconnecting it calls them again.
void disconnect(pa_stream *&stream);

} // namespace PulseSession
