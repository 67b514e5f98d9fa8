#include "toolkit/header_info.h"

#include "platform/cp1251.h"
#include "toolkit/format_text.h"
#include "toolkit/time_texts.h"

namespace toolkit {

std::vector<std::string> HeaderInfoLines(const MAIN_HEADER& h) {
  std::vector<std::string> lines;
  lines.push_back(DateTimeText(h.StartTicks, 0.0));
  lines.push_back(FormatText("%.5f с.ш.;   %.5f в.д. ", h.Latitude, h.Longitude));
  const std::string station = platform::FieldToUtf8(h.Station);
  lines.push_back(FormatText("станция %s;  частота  %u Гц", station.c_str(), unsigned{h.Rate}));
  lines.push_back(FormatText("каналов - %2d;  разрядов  - %2d", int{h.Channels}, int{h.Bits}));
  if (h.Format < 59) {
    lines.push_back(h.GpsLostStart != 0
                        ? FormatText("начало: valid отсутствует %u мин.", unsigned{h.GpsLostStart})
                        : std::string("начало: GPS valid"));
    lines.push_back(h.GpsLostEnd != 0 ? FormatText("конец: valid отсутствует %u мин.", unsigned{h.GpsLostEnd})
                                      : std::string("конец:  GPS valid"));
    if (h.Synced != 0) lines.push_back(FormatText("синхронизация c dt = %.4f cek", h.SyncDt));
  }
  return lines;
}

}  // namespace toolkit
