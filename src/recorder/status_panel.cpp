#include "recorder/status_panel.h"

#include "recorder/recorder_time.h"
#include "toolkit/format_text.h"

namespace recorder {

std::string GpsStatusText(uint8_t valid) {
  static const char* const kTexts[16] = {"status GPS: O'k",
                                         "Don't have GPS time yet",
                                         "GPS: Need initialization",
                                         "GPS: PDOP is too high",
                                         "status GPS: 4",
                                         "status GPS: 5",
                                         "status GPS: 6",
                                         "status GPS: 7",
                                         "GPS: No usable satellites",
                                         "GPS: Only 1 usable satellite",
                                         "GPS: Only 2 usable satellites",
                                         "GPS: Only 3 usable satellites",
                                         "GPS: Chosen satellite is unusable",
                                         "status GPS: 13",
                                         "status GPS: 14",
                                         "status GPS - ?"};
  return kTexts[valid & 0x0F];
}

StatusPanelTexts MakeStatusPanel(const StatusBlock& st, const YSTANOV& setup, bool extraPanel) {
  StatusPanelTexts p;
  p.Channels = ChannelsFromMask(st.ChannelMask);
  p.L_Fr = toolkit::FormatText("Гц: %u;  kаналов %u", static_cast<unsigned>(setup.SampleRate),
                               static_cast<unsigned>(p.Channels.Count));
  const unsigned k[6] = {setup.K_yc[0], setup.K_yc[1], setup.K_yc[2],
                         setup.K_yc[3], setup.K_yc[4], setup.K_yc[5]};
  p.L_yc = st.Channels == 2
               ? toolkit::FormatText("Kyc = %u  %u  %u", k[0], k[1], k[2])
               : toolkit::FormatText("Kyc = %u  %u  %u %u  %u  %u", k[0], k[1], k[2], k[3], k[4], k[5]);
  p.L_t_BK = "     " + CalendarOnText(setup.Calendar[0].On);
  p.SB_id = toolkit::FormatText("%03d(%02x)", UnitNumber(st), UnitSeries(st));
  p.L_stat = toolkit::FormatText("0x%02x  0x%02x  0x%02x", st.sysRG, st.sysFL, st.auxFL);

  const uint8_t rg = st.sysRG;
  std::string caption = " ";
  if (rg & kRgCardFull) caption += "  карта заполнена;";
  if (rg & kRgAdcOn) caption += "  АЦП  вкл;";
  if (rg & kRgWaiting) caption += "  режим ожидания;";
  if ((rg & (kRgAdcOn | kRgWaiting)) == (kRgAdcOn | kRgWaiting)) caption += "  регистрация;";
  if (!(rg & kRgCardPresent)) caption += "  нет карты!;";
  if (rg & kRgTest) caption += "   тест!;";
  p.StatusCaption = caption.size() < 5 ? "режим ожидания" : caption;
  p.CaptionRed = (rg & kRgCardFull) || !(rg & kRgCardPresent) || (rg & kRgTest);

  if (rg & kRgSynchronised) {
    p.L_SIN = "Синхронизован в " + UnitTimeText(st.Cap_GPS_o);
    p.StatusBar =
        toolkit::FormatText("Время Unita в момент синхронизации  %s + %.1fmkc; ",
                            UnitTimeText(st.Cap_Time_o).c_str(), TickMicroseconds(st.Cap_Tik_o, st.TikInSek));
  }
  p.L_kapt = toolkit::FormatText(
      "%u из %uMb; файлов: %u;  fat %u/%02u", static_cast<unsigned>(st.Last_pg >> 11), 2u * st.FCmax,
      static_cast<unsigned>(st.Files), static_cast<unsigned>(st.LastPgFat - 256 * st.FT_PG),
      static_cast<unsigned>(st.Rows));

  if (st.Cap_Time > kNoCaptureTime) {
    const long double ticks = static_cast<long double>(st.TikInSek) + 1.0L;
    const long double e =
        (static_cast<long double>(st.Cap_Time) - static_cast<long double>(st.Time)) * ticks * 65536.0L +
        static_cast<long double>(st.Cap_Tik);
    const double d = static_cast<double>(e * 1'000'000.0L / 65536.0L / ticks);
    const std::string when = UnitTimeText(st.Cap_Time);
    if (st.Dt_Ot_P_Cor < 21) {
      p.L_cap = toolkit::FormatText("dT %.0fмкс  в %s;", d, when.c_str());
    } else {
      // E as the status bar prints it: a clock never set beside a capture time puts it far beyond any
      // integer type.
      p.L_cap = toolkit::FormatText("dT %.0fмкс/%.3e в %s;  %.0f", d, d / st.Dt_Ot_P_Cor * 1e-6, when.c_str(),
                                    static_cast<double>(e));
    }
    if (extraPanel) {
      p.StatusBar = toolkit::FormatText(
          "сар. %s + %.1fmkc;   DT = ( %.0f  -  %.0f ) * %u * %u + %.0f = %.0f /%.0f", when.c_str(), d,
          static_cast<double>(st.Cap_Time), static_cast<double>(st.Time),
          static_cast<unsigned>(st.TikInSek) + 1u, 65536u, static_cast<double>(st.Cap_Tik),
          static_cast<double>(e), static_cast<double>(st.Dt_Ot_P_Cor));
    }
  }
  return p;
}

}  // namespace recorder
