#pragma once
// Calls onto the GUI thread. Worker threads never touch widgets; they hand the work to the GUI thread:
//   Synchronize(fn)  runs fn on the GUI thread and waits for it (on the GUI thread: runs fn at once);
//   PostToGui(fn)    queues fn for the GUI thread and returns at once.
// A GUI thread that waits for a worker must keep serving these calls, or a worker inside Synchronize
// and the GUI thread waiting for it would block each other: wait with WaitServing or JoinServing.
#include <functional>
#include <thread>

namespace platform::ui {

// True on the thread of the application object (and when there is none).
bool IsGuiThread();

// Runs `fn` on the GUI thread and returns when it has run. An exception thrown by `fn` is thrown again
// in the caller. Without an application object `fn` runs in the caller.
void Synchronize(const std::function<void()>& fn);

// Queues `fn` for the GUI thread (served by its event loop or by a waiting WaitServing), also when
// called on the GUI thread. An exception thrown by `fn` ends the program (under a test script: it is
// recorded as a failure).
void PostToGui(std::function<void()> fn);

// Runs the queued calls now; returns how many ran. GUI thread only.
int ServeQueuedCalls();

// On the GUI thread: waits until `ready()` is true, running queued calls meanwhile. `ready` is checked
// after each served call and whenever NotifyGuiWaiters() is called, so whoever makes it true must call
// NotifyGuiWaiters() afterwards.
void WaitServing(const std::function<bool()>& ready);

// Wakes WaitServing to check its condition again. Any thread.
void NotifyGuiWaiters();

// On the GUI thread: joins `thread` (when joinable), serving queued calls until it has ended.
void JoinServing(std::jthread& thread);

}  // namespace platform::ui
