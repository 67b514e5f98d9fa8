#include "emulator/page_line_faults.h"

#include <algorithm>

#include "emulator/reply_frame.h"

namespace emulator {

void SendSpoiledFrame(Recorder& recorder, std::vector<uint8_t> frame, const PageLineFaults& faults) {
  const size_t at = std::min(faults.FrameOffset, frame.size());
  const auto place = frame.begin() + static_cast<std::ptrdiff_t>(at);
  switch (faults.Fault) {
    case LineFault::Flip:
      if (at < frame.size()) frame[at] ^= faults.Mask;
      break;
    case LineFault::Drop:
      if (at < frame.size()) frame.erase(place);
      break;
    case LineFault::Cut:
      frame.erase(place, frame.end());
      break;
    case LineFault::Insert:
      frame.insert(place, faults.Stray.begin(), faults.Stray.end());
      break;
    case LineFault::Pause:
      recorder.SendRaw(std::span(frame).first(at));
      recorder.SendGap(faults.PauseMs);
      recorder.SendRaw(std::span(frame).subspan(at));
      return;
  }
  recorder.SendRaw(frame);
  if (faults.PauseMs) recorder.SendGap(faults.PauseMs);
}

void SendCardPage(Recorder& recorder, uint8_t type, uint8_t code, uint32_t number,
                  std::span<const uint8_t> page, PageLineFaults& faults) {
  if (faults.Pages.erase(number) == 0) {
    recorder.SendReply(type, code, page);
    return;
  }
  std::vector<uint8_t> frame;
  AppendReply(frame, type, code, page.data(), page.size());
  SendSpoiledFrame(recorder, std::move(frame), faults);
}

}  // namespace emulator
