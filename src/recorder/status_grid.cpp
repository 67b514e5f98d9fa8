#include <cmath>
#include <numbers>

#include "recorder/recorder_time.h"
#include "recorder/status_panel.h"
#include "toolkit/format_text.h"

namespace recorder {
namespace {

void Detailed(const StatusBlock& st, std::vector<GridRow>& rows) {
  size_t r = 1;
  auto add = [&](const char* name, std::string value) { rows[r++] = {name, std::move(value)}; };
  auto hex2 = [](unsigned v) { return toolkit::FormatText("%02X", v); };
  auto hex4 = [](unsigned v) { return toolkit::FormatText("%04X", v); };
  auto hex8 = [](uint32_t v) { return toolkit::FormatText("%08X", static_cast<unsigned>(v)); };
  add("sysRG", hex2(st.sysRG));
  add("sysFL", hex2(st.sysFL));
  add("auxFL", hex2(st.auxFL));
  add("conFL", hex2(st.conFL));
  add("crtFL", hex2(st.crtFL));
  add("conST", hex2(st.conST));
  add("DFpsc", hex2(st.DFpsc));
  add("DFmax", hex2(st.DFmax));
  add("DFsz", hex4(st.DFsz));
  add("TYPE0", hex4(st.TYPE0));
  add("TYPE0sz", hex4(st.TYPE0sz));
  add("TYPE1", hex4(st.TYPE1));
  add("TYPE1sz", hex2(st.TYPE1sz));
  add("Pgpoint", hex2(st.Pgpoint));
  add("FCmax", hex4(st.FCmax));
  add("FT_PG", hex2(st.FT_PG));
  add("ST_PG", hex2(st.ST_PG));
  add("Adder", toolkit::FormatText("%08x", static_cast<unsigned>(st.Adder)));
  add("TikInSek", hex4(st.TikInSek));
  add("SecOff", hex4(st.SecOff));
  add("0-4", toolkit::FormatText("%02X %02X %02X %02X %02X", st.Config0_4[0], st.Config0_4[1],
                                 st.Config0_4[2], st.Config0_4[3], st.Config0_4[4]));
  add("5-9", toolkit::FormatText("%02X %02X %02X %02X ", st.Config5_9[0], st.Config5_9[1], st.Config5_9[2],
                                 st.Config5_9[3]));
  add("фильтр и дец. 10-11",
      toolkit::FormatText("%02X %02X", st.FilterDecimation[0], st.FilterDecimation[1]));
  add("маска:", toolkit::FormatText("%02X %02X ", st.ChannelMask, st.MaskExtra));
  add("CodeDF", hex2(st.CodeDF));
  add("CodeAX", hex2(st.CodeAX));
  add("Eit_Last", hex2(st.Eit_Last));
  add("Correct", hex8(st.Correct));
  add("Time", hex8(st.Time));
  add("Cap_Time", hex8(st.Cap_Time));
  add("Cap_Tik", hex8(st.Cap_Tik));
  add("Cap_Time_o", hex8(st.Cap_Time_o));
  add("Cap_Tik_o", hex8(st.Cap_Tik_o));
  add("Dt_Ot_P_Cor", hex8(st.Dt_Ot_P_Cor));
  add("Cap_GPS_o", hex8(st.Cap_GPS_o));
  add("GPS",
      toolkit::FormatText("%02x %02x", static_cast<unsigned>(st.GPS[0]), static_cast<unsigned>(st.GPS[1])));
  add("GPSon", hex8(st.GPSon));
  add("Battery", hex2(st.Battery));
  add("Valid", hex2(st.Valid));
  add("Last_pg", hex8(st.Last_pg));
  add("LastPgFat", hex2(st.LastPgFat));
  add("строк", std::to_string(st.Rows));
  add("N распис", std::to_string(st.Schedule));
  add("файлов", std::to_string(st.Files));
  add("LAT", toolkit::FormatText("%.6f", static_cast<double>(st.LAT)));
  add("LON", toolkit::FormatText("%.6f", static_cast<double>(st.LON)));
  add("ALT", toolkit::FormatText("%.6f", static_cast<double>(st.ALT)));
  add("T_Unit", toolkit::FormatText("%04X", static_cast<unsigned>(st.T_Unit)));
  add("каналов", std::to_string(st.Channels));
  add("T_start", hex8(st.T_start));
  add("T_End", hex8(st.T_End));
  for (int i = 0; i < 8; ++i) {
    rows[r++] = {"K_yc(" + std::to_string(i) + ")", std::to_string(st.K_yc[i])};
    rows[r++] = {"Freq(" + std::to_string(i) + ")", std::to_string(st.Freq[i])};
  }
  add(" Vбат:", toolkit::FormatText("%02x %02x", static_cast<unsigned>(st.BatteryReading1),
                                    static_cast<unsigned>(st.BatteryReading2)));
  add(" Vакк:", toolkit::FormatText("%02x %02x", static_cast<unsigned>(st.AccuReading1),
                                    static_cast<unsigned>(st.AccuReading2)));
}

std::string Volts(uint16_t a, uint16_t b, uint16_t scale) {
  return toolkit::FormatText("%.3f / %.3f", a * static_cast<double>(scale) * 1e-6,
                             b * static_cast<double>(scale) * 1e-6);
}

void Plain(const StatusBlock& st, const YSTANOV& setup, uint32_t sampleClock, std::vector<GridRow>& rows) {
  constexpr double kDegrees = 180.0 / std::numbers::pi;
  const uint8_t crt = st.crtFL;
  const unsigned gpsSeconds = st.GPS[1];
  rows[1] = {"G P S", ""};
  rows[2] = {" - тип", (crt & kCrtGpsExternal) ? "внешний " : "внутренний"};
  rows[3] = {" - режим вкл-я", (crt & kCrtGpsPermanent) ? "включен постоянно" : "включается для синх."};
  rows[4] = {" - интервал", "через ~" + std::to_string(setup.GpsInterval >> 6) + " мин"};
  rows[5] = {" - состояние", (st.sysFL & kFlGpsOn)
                                 ? "включен  на " + std::to_string(gpsSeconds) + " сек"
                                 : "подстройка через " + std::to_string(gpsSeconds) + " сек"};
  rows[6] = {" - valid", GpsStatusText(st.Valid)};
  rows[7] = {"долгота", toolkit::FormatText("%010f", st.LON * kDegrees)};
  rows[8] = {"широта", toolkit::FormatText("%010f", st.LAT * kDegrees)};
  rows[9] = {"высота", toolkit::FormatText("%010f", static_cast<double>(st.ALT))};
  rows[10] = {"генератор", (crt & kCrtNoOscillatorCorrection) ? "без коррекции" : "с коррекцией"};
  rows[12] = {"время прибора", UnitTimeText(st.T_Unit)};
  rows[13] = {"вкл.  записи", st.T_start != 0 ? ScheduleTimeText(st.T_start) : ""};
  rows[14] = {"выкл. записи", st.T_End != 0 ? ScheduleTimeText(st.T_End) : ""};
  const ChannelList ch = ChannelsFromMask(st.ChannelMask);
  rows[15].Name = "каналы: 0 - " + std::to_string(st.Channels);
  rows[15].Value = st.Channels == 2 ? toolkit::FormatText(" %02X :  %X %X %X", st.ChannelMask, ch.Numbers[0],
                                                          ch.Numbers[1], ch.Numbers[2])
                                    : toolkit::FormatText(" %02X :   %X %X %X %X %X %X", st.ChannelMask,
                                                          ch.Numbers[0], ch.Numbers[1], ch.Numbers[2],
                                                          ch.Numbers[3], ch.Numbers[4], ch.Numbers[5]);
  rows[16] = {" макс. частота:", std::to_string(sampleClock) + " Гц"};
  if (st.BatteryScale != 0) {
    rows[17] = {" Vбат:", Volts(st.BatteryReading1, st.BatteryReading2, st.BatteryScale)};
  }
  if (st.AccuScale != 0) rows[18] = {" Vакк:", Volts(st.AccuReading1, st.AccuReading2, st.AccuScale)};
}

}  // namespace

std::vector<GridRow> MakeStatusGrid(const StatusBlock& st, const YSTANOV& setup, uint32_t sampleClock,
                                    bool detailed) {
  std::vector<GridRow> rows(detailed ? kDetailedGridRows : kPlainGridRows);
  rows[0] = {"id " + toolkit::FormatText("%04X", static_cast<unsigned>(st.Id)),
             toolkit::FormatText("%02X_%03u", UnitSeries(st), static_cast<unsigned>(UnitNumber(st)))};
  if (detailed) {
    Detailed(st, rows);
  } else {
    Plain(st, setup, sampleClock, rows);
  }
  return rows;
}

}  // namespace recorder
