#include "emulator/page_line_faults.h"

#include <algorithm>

#include "emulator/reply_frame.h"

namespace emulator {

namespace {

// A byte of a frame on its way and the pause of the line before it.
struct LineByte {
  uint8_t value;
  uint32_t pauseMs;
};

}  // namespace

uint8_t FreeFlipMask(std::span<const LineSpoil> spoils, uint8_t wanted) {
  unsigned used = 0;
  for (const LineSpoil& s : spoils)
    if (s.Fault == LineFault::Flip) used |= s.Mask;
  for (int shift = 0; shift < 8; ++shift) {
    const auto mask = static_cast<uint8_t>((wanted << shift | wanted >> (8 - shift)) & 0xFF);
    if ((used & mask) == 0) return mask;
  }
  return wanted;
}

void SendSpoiledFrame(Recorder& recorder, const std::vector<uint8_t>& frame,
                      std::span<const LineSpoil> spoils) {
  std::vector<LineByte> line;
  line.reserve(frame.size() + 1);
  for (uint8_t b : frame) line.push_back({b, 0});
  // The pause after the last byte; never sent as a byte.
  line.push_back({0, 0});
  // From the last offset to the first, so that each spoil finds the bytes before it where they were built.
  std::vector<const LineSpoil*> order;
  for (const LineSpoil& s : spoils) order.push_back(&s);
  std::stable_sort(order.begin(), order.end(),
                   [](const LineSpoil* a, const LineSpoil* b) { return a->FrameOffset > b->FrameOffset; });
  for (const LineSpoil* s : order) {
    const size_t bytes = line.size() - 1;
    const size_t at = std::min(s->FrameOffset, bytes);
    const auto place = line.begin() + static_cast<std::ptrdiff_t>(at);
    switch (s->Fault) {
      case LineFault::Flip:
        if (at < bytes) place->value ^= s->Mask;
        break;
      case LineFault::Drop:
        if (at < bytes) {
          place[1].pauseMs += place->pauseMs;
          line.erase(place);
        }
        break;
      case LineFault::Cut:
        line.erase(place, line.end() - 1);
        break;
      case LineFault::Insert:
        for (auto b = s->Stray.rbegin(); b != s->Stray.rend(); ++b)
          line.insert(line.begin() + static_cast<std::ptrdiff_t>(at), LineByte{*b, 0});
        if (!s->Stray.empty()) std::swap(line[at].pauseMs, line[at + s->Stray.size()].pauseMs);
        break;
      case LineFault::Pause:
        place->pauseMs += s->PauseMs;
        break;
      case LineFault::FakeHeader:
      case LineFault::Stale:
      case LineFault::CodeJump:
        break;  // made into insertions and codes before the frame is built
    }
  }
  std::vector<uint8_t> run;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i].pauseMs != 0) {
      if (!run.empty()) recorder.SendRaw(run);
      run.clear();
      recorder.SendGap(line[i].pauseMs);
    }
    if (i + 1 < line.size()) run.push_back(line[i].value);
  }
  if (!run.empty()) recorder.SendRaw(run);
}

uint8_t SendCardPage(Recorder& recorder, uint8_t type, uint8_t code, uint32_t number,
                     std::span<const uint8_t> page, PageLineFaults& faults, const EarlierPage& earlier) {
  const auto each = faults.Spoils.find(number);
  const bool struck = faults.Pages.erase(number) != 0;
  if (!struck && each == faults.Spoils.end()) {
    recorder.SendReply(type, code, page);
    return code;
  }
  std::vector<LineSpoil> spoils;
  if (struck) {
    spoils.push_back({faults.Fault, faults.FrameOffset, faults.Mask, faults.PauseMs, faults.Stray});
    // Any fault but a pause may be followed by a pause of the line after the frame.
    if (faults.Fault != LineFault::Pause && faults.PauseMs != 0)
      spoils.push_back({LineFault::Pause, 6 + page.size() + 1, 0, faults.PauseMs, {}});
  } else {
    spoils = std::move(each->second);
    faults.Spoils.erase(each);
  }
  const auto step = [](const LineSpoil& s) { return static_cast<int8_t>(s.Mask); };
  for (const LineSpoil& s : spoils)
    if (s.Fault == LineFault::CodeJump) code = static_cast<uint8_t>(code + step(s));
  for (LineSpoil& s : spoils) {
    std::vector<uint8_t> bytes;
    if (s.Fault == LineFault::FakeHeader) {
      const uint8_t fake[5] = {0x55, type, 0x00, 0x02, static_cast<uint8_t>(code + step(s))};
      unsigned sum = 0;
      for (uint8_t b : fake) sum += b;
      bytes.assign(fake, fake + 5);
      bytes.push_back(static_cast<uint8_t>(0u - sum));
      bytes.insert(bytes.end(), s.Stray.begin(), s.Stray.end());
    } else if (s.Fault == LineFault::Stale) {
      const uint8_t* old = earlier && number >= s.Mask ? earlier(number - s.Mask) : nullptr;
      if (old != nullptr) AppendReply(bytes, type, static_cast<uint8_t>(code - s.Mask), old, page.size());
      s.FrameOffset = 0;
    } else {
      continue;
    }
    s.Fault = LineFault::Insert;
    s.Stray = std::move(bytes);
  }
  std::vector<uint8_t> frame;
  AppendReply(frame, type, code, page.data(), page.size());
  SendSpoiledFrame(recorder, frame, spoils);
  return code;
}

}  // namespace emulator
