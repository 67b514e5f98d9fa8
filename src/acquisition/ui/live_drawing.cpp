#include "acquisition/ui/live_drawing.h"

#include "acquisition/live_sweep.h"
#include "platform/ui/synchronize.h"

namespace acquisition {

void TRis::Start() {
  thread_ = std::jthread([this](std::stop_token token) { Execute(token); });
}

void TRis::Execute(std::stop_token token) {
  const int32_t step = static_cast<int32_t>(shared_.Channels() * 2);
  int32_t old = 0;
  shared_.ResetIndex();
  while (!token.stop_requested()) {
    const int32_t next = shared_.Take(token);
    if (next < 0) break;  // stop: nothing is ever drawn from a negative index
    const int32_t columns = ColumnsBetween(old, next, shared_.RingSize(), step);
    const int32_t from = old;
    platform::ui::Synchronize([&] { draw_(from, columns); });
    ++batches_;
    old = next;
  }
}

}  // namespace acquisition
