#include "platform/ui/synchronize.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>

#include "platform/ui/terminator.h"
#include "platform/ui/ui_script.h"

namespace platform::ui {
namespace {

struct Call {
  std::function<void()> fn;
  bool waited = false;  // a Synchronize caller waits for `done`
  bool done = false;
  std::exception_ptr error;
};

// The queue of calls for the GUI thread. One lock and one condition serve the queue, the waiting
// callers and the waiting GUI thread.
struct CallQueue {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::shared_ptr<Call>> calls;
  uint64_t notifications = 0;
};

// Never destroyed: a program end through std::exit must not pull it from under a waiting worker.
CallQueue& Queue() {
  static CallQueue* q = new CallQueue;
  return *q;
}

// The event loop's wake-up: a counter the GUI thread's event loop watches. A worker that queues a call
// only bumps the counter, so nothing of Qt is touched off the GUI thread and the queue's lock is the
// whole hand-over (which is also what a thread checker can see).
int WakeCounter() {
  static const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return fd;
}

// On the GUI thread, whenever an application object is built: serve the queue when the counter moves.
void WatchWakeCounter() {
  const int fd = WakeCounter();
  if (fd < 0) return;
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [fd] {
    uint64_t count = 0;
    // Nothing to read only when another wake-up took it first; the queue is served either way.
    if (::read(fd, &count, sizeof count) < 0) count = 0;
    ServeQueuedCalls();
  });
}

void Enqueue(std::shared_ptr<Call> call) {
  CallQueue& q = Queue();
  {
    std::lock_guard lock(q.mutex);
    q.calls.push_back(std::move(call));
  }
  q.changed.notify_all();
  // Let the event loop serve it when the GUI thread is not waiting in WaitServing.
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  const uint64_t one = 1;
  const int fd = WakeCounter();
  // A full counter (EAGAIN) has a wake-up pending already.
  if (fd >= 0 && (::write(fd, &one, sizeof one) == sizeof one || errno == EAGAIN)) return;
  QMetaObject::invokeMethod(
      app, [] { ServeQueuedCalls(); }, Qt::QueuedConnection);
}

void RunQueued(Call& call) {
  try {
    call.fn();
  } catch (const ProgramTerminated&) {
    // The script has recorded the program end already.
  } catch (const std::exception& e) {
    if (UiScript* script = ActiveScript()) {
      script->RecordFailure(std::string("a call queued for the GUI thread threw: ") + e.what());
    } else {
      std::terminate();
    }
  } catch (...) {
    if (UiScript* script = ActiveScript()) {
      script->RecordFailure("a call queued for the GUI thread threw");
    } else {
      std::terminate();
    }
  }
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(WatchWakeCounter)

bool IsGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app == nullptr || QThread::currentThread() == app->thread();
}

void Synchronize(const std::function<void()>& fn) {
  if (IsGuiThread()) {
    fn();
    return;
  }
  auto call = std::make_shared<Call>();
  call->fn = fn;
  call->waited = true;
  Enqueue(call);
  CallQueue& q = Queue();
  std::unique_lock lock(q.mutex);
  q.changed.wait(lock, [&] { return call->done; });
  if (call->error) std::rethrow_exception(call->error);
}

void PostToGui(std::function<void()> fn) {
  auto call = std::make_shared<Call>();
  call->fn = std::move(fn);
  Enqueue(std::move(call));
}

int ServeQueuedCalls() {
  CallQueue& q = Queue();
  int served = 0;
  for (;;) {
    std::shared_ptr<Call> call;
    {
      std::lock_guard lock(q.mutex);
      if (q.calls.empty()) break;
      call = std::move(q.calls.front());
      q.calls.pop_front();
    }
    if (call->waited) {
      try {
        call->fn();
      } catch (...) {
        call->error = std::current_exception();
      }
      {
        std::lock_guard lock(q.mutex);
        call->done = true;
      }
      q.changed.notify_all();
    } else {
      RunQueued(*call);
    }
    ++served;
  }
  return served;
}

void WaitServing(const std::function<bool()>& ready) {
  CallQueue& q = Queue();
  for (;;) {
    ServeQueuedCalls();
    std::unique_lock lock(q.mutex);
    const uint64_t seen = q.notifications;
    if (ready()) return;
    q.changed.wait(lock, [&] { return !q.calls.empty() || q.notifications != seen; });
  }
}

void NotifyGuiWaiters() {
  CallQueue& q = Queue();
  {
    std::lock_guard lock(q.mutex);
    ++q.notifications;
  }
  q.changed.notify_all();
}

void JoinServing(std::jthread& thread) {
  if (!thread.joinable()) return;
  std::atomic<bool> joined{false};
  // A helper does the blocking join and wakes the GUI thread when it is over.
  std::thread joiner([&] {
    thread.join();
    joined = true;
    NotifyGuiWaiters();
  });
  WaitServing([&] { return joined.load(); });
  joiner.join();
}

}  // namespace platform::ui
