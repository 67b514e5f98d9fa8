#include "acquisition/channel_header.h"

#include <cstddef>
#include <cstring>

namespace acquisition {

toolkit::CHANNEL_HEADER RecorderChannelHeader(const recorder::YSTANOV& setup, unsigned recorderChannel,
                                              uint16_t number) {
  const unsigned c = recorderChannel & 7;
  toolkit::CHANNEL_HEADER h{};
  h.Number = number;
  h.Mark1 = 0x1111;
  h.Mark2 = 0x2222;
  h.Mark3 = 0x3333;
  toolkit::SetFieldText(h.Name, recorder::ChannelName(setup, static_cast<int>(c)));
  toolkit::SetFieldText(h.tip, "t_d");
  // The setup block is packed: its fields are copied out, never referenced.
  const auto* bytes = reinterpret_cast<const uint8_t*>(&setup);
  float coefficient;
  std::memcpy(&coefficient, bytes + offsetof(recorder::YSTANOV, Coefficients) + 4 * c, sizeof coefficient);
  uint16_t gain;
  std::memcpy(&gain, bytes + offsetof(recorder::YSTANOV, K_yc) + 2 * c, sizeof gain);
  h.Coef = gain > 0.1 ? static_cast<double>(coefficient) / gain : static_cast<double>(coefficient);
  h.Coef2 = 1.0;
  return h;
}

}  // namespace acquisition
