#include "emulator/page_line_faults.h"

#include <vector>

#include "emulator/reply_frame.h"

namespace emulator {

void SendCardPage(Recorder& recorder, uint8_t type, uint8_t code, uint32_t number,
                  std::span<const uint8_t> page, const PageLineFaults& faults) {
  if (faults.Pages.count(number) == 0) {
    recorder.SendReply(type, code, page);
    return;
  }
  std::vector<uint8_t> frame;
  AppendReply(frame, type, code, page.data(), page.size());
  if (faults.FrameOffset < frame.size()) frame[faults.FrameOffset] ^= faults.Mask;
  recorder.SendRaw(frame);
}

}  // namespace emulator
