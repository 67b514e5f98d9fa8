#include "recorder/status_panel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "recorder/recorder_time.h"

namespace recorder {
namespace {

class StatusPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&st, 0, sizeof st);
    setup = std::make_unique<YSTANOV>();
    std::memset(setup.get(), 0, sizeof *setup);
    for (auto& e : setup->Calendar) FreeEntry(e);
  }
  StatusBlock st;
  std::unique_ptr<YSTANOV> setup;
};

TEST_F(StatusPanel, CaptionForEachFlagCombination) {
  struct Case {
    uint8_t rg;
    const char* caption;
    bool red;
  };
  const Case cases[] = {
      {0x00, "   нет карты!;", true},
      {0x20, "режим ожидания", false},
      {0x21, "режим ожидания", false},
      {0x26, "   АЦП  вкл;  режим ожидания;  регистрация;", false},
      {0x22, "   АЦП  вкл;", false},
      {0xA0, "   карта заполнена;", true},
      {0x30, "    тест!;", true},
      {0x96, "   карта заполнена;  АЦП  вкл;  режим ожидания;  регистрация;  нет карты!;   тест!;", true},
  };
  for (const Case& c : cases) {
    st.sysRG = c.rg;
    const auto p = MakeStatusPanel(st, *setup, false);
    EXPECT_EQ(p.StatusCaption, c.caption) << int(c.rg);
    EXPECT_EQ(p.CaptionRed, c.red) << int(c.rg);
  }
}

TEST_F(StatusPanel, PanelTexts) {
  st.Id = 0x1A05;
  st.sysRG = 0x20;
  st.sysFL = 0x02;
  st.auxFL = 0xF0;
  st.ChannelMask = 0x05;
  st.Channels = 2;
  st.Last_pg = 5 * 2048 + 7;
  st.FCmax = 1000;
  st.Files = 12;
  st.FT_PG = 0x10;
  st.LastPgFat = 0x1003;
  st.Rows = 7;
  setup->SampleRate = 250;
  for (int i = 0; i < 8; ++i) setup->K_yc[i] = static_cast<uint16_t>(i + 1);
  auto p = MakeStatusPanel(st, *setup, false);
  EXPECT_EQ(p.Channels.Count, 2);
  EXPECT_EQ(p.Channels.Numbers[1], 2);
  EXPECT_EQ(p.L_Fr, "Гц: 250;  kаналов 2");
  EXPECT_EQ(p.L_yc, "Kyc = 1  2  3");
  EXPECT_EQ(p.L_t_BK, "     05.02.36 06:28:00");
  EXPECT_EQ(p.SB_id, "005(1a)");
  EXPECT_EQ(p.L_stat, "0x20  0x02  0xf0");
  EXPECT_EQ(p.L_kapt, "5 из 2000Mb; файлов: 12;  fat 3/07");
  EXPECT_TRUE(p.L_rd.empty());
  EXPECT_FALSE(p.L_SIN.has_value());
  EXPECT_FALSE(p.StatusBar.has_value());
  EXPECT_FALSE(p.L_cap.has_value());

  st.Channels = 5;
  setup->Calendar[0].On = 1'000'000'000;
  p = MakeStatusPanel(st, *setup, false);
  EXPECT_EQ(p.L_yc, "Kyc = 1  2  3 4  5  6");
  EXPECT_EQ(p.L_t_BK, "     14.09.11 01:46:40");
}

TEST_F(StatusPanel, SynchronisationAndCaptureTexts) {
  st.sysRG = 0x21;
  st.TikInSek = 1023;
  st.Cap_GPS_o = 1'000'000'000;
  st.Cap_Time_o = 1'000'000'001;
  st.Cap_Tik_o = 256u * 65536u;  // a quarter second
  st.Cap_Time = kNoCaptureTime;
  auto p = MakeStatusPanel(st, *setup, true);
  EXPECT_EQ(p.L_SIN, "Синхронизован в 14.09.11 01:46:40");
  EXPECT_EQ(p.StatusBar, "Время Unita в момент синхронизации  14.09.11 01:46:41 + 250000.0mkc; ");
  EXPECT_FALSE(p.L_cap.has_value());

  // The recorder's capture lies 2 s and half a second after its clock reading.
  st.Cap_Time = 1'000'000'002;
  st.Time = 1'000'000'000;
  st.Cap_Tik = 512u * 65536u;
  st.Dt_Ot_P_Cor = 20;
  p = MakeStatusPanel(st, *setup, false);
  EXPECT_EQ(p.L_cap, "dT 2500000мкс  в 14.09.11 01:46:42;");
  EXPECT_EQ(p.StatusBar, "Время Unita в момент синхронизации  14.09.11 01:46:41 + 250000.0mkc; ");

  st.Dt_Ot_P_Cor = 1000;
  p = MakeStatusPanel(st, *setup, true);
  EXPECT_EQ(p.L_cap, "dT 2500000мкс/2.500e-03 в 14.09.11 01:46:42;  167772160");
  EXPECT_EQ(p.StatusBar,
            "сар. 14.09.11 01:46:42 + 2500000.0mkc;   DT = ( 1000000002  -  1000000000 ) * 1024 * 65536 + "
            "33554432 = "
            "167772160 /1000");

  // A capture before the clock reading gives a negative offset.
  st.Cap_Time = 999'999'999;
  st.Cap_Tik = 0;
  p = MakeStatusPanel(st, *setup, false);
  EXPECT_EQ(p.L_cap, "dT -1000000мкс/-1.000e-03 в 14.09.11 01:46:39;  -67108864");

  // A clock never set (0) beside a capture time 126 years on, at the fastest tick rate: E lies past
  // every 64-bit integer and is printed whole.
  st.Time = 0;
  st.Cap_Time = 4'000'000'000;
  st.TikInSek = 65535;
  p = MakeStatusPanel(st, *setup, false);
  EXPECT_EQ(p.L_cap, "dT 4000000000000000мкс/4.000e+06 в 08.10.06 07:06:40;  17179869184000000000");
}

TEST_F(StatusPanel, GpsStatusTexts) {
  EXPECT_EQ(GpsStatusText(0), "status GPS: O'k");
  EXPECT_EQ(GpsStatusText(1), "Don't have GPS time yet");
  EXPECT_EQ(GpsStatusText(2), "GPS: Need initialization");
  EXPECT_EQ(GpsStatusText(3), "GPS: PDOP is too high");
  EXPECT_EQ(GpsStatusText(5), "status GPS: 5");
  EXPECT_EQ(GpsStatusText(8), "GPS: No usable satellites");
  EXPECT_EQ(GpsStatusText(9), "GPS: Only 1 usable satellite");
  EXPECT_EQ(GpsStatusText(10), "GPS: Only 2 usable satellites");
  EXPECT_EQ(GpsStatusText(11), "GPS: Only 3 usable satellites");
  EXPECT_EQ(GpsStatusText(12), "GPS: Chosen satellite is unusable");
  EXPECT_EQ(GpsStatusText(14), "status GPS: 14");
  EXPECT_EQ(GpsStatusText(15), "status GPS - ?");
  EXPECT_EQ(GpsStatusText(0xF8), "GPS: No usable satellites");  // only the low nibble counts
}

TEST_F(StatusPanel, PlainGrid) {
  st.Id = 0x1A05;
  st.crtFL = 0x10 | 0x01;
  st.sysFL = 0x02;
  st.GPS[1] = 42;
  st.Valid = 0x01;
  st.LON = 0.5f;
  st.LAT = -0.25f;
  st.ALT = 150.25f;
  st.T_Unit = 1'000'000'000;
  st.T_End = 1'000'000'600;
  st.ChannelMask = 0x0B;
  st.Channels = 5;
  st.BatteryScale = 1000;
  st.BatteryReading1 = 12000;
  st.BatteryReading2 = 11500;
  setup->GpsInterval = 128 * 64;
  auto rows = MakeStatusGrid(st, *setup, 500, false);
  ASSERT_EQ(rows.size(), 19u);
  EXPECT_EQ(rows[0].Name, "id 1A05");
  EXPECT_EQ(rows[0].Value, "1A_005");
  EXPECT_EQ(rows[2].Value, "внешний ");
  EXPECT_EQ(rows[3].Value, "включен постоянно");
  EXPECT_EQ(rows[4].Value, "через ~128 мин");
  EXPECT_EQ(rows[5].Value, "включен  на 42 сек");
  EXPECT_EQ(rows[6].Value, "Don't have GPS time yet");
  EXPECT_EQ(rows[7].Value, "028.647890");
  EXPECT_EQ(rows[8].Value, "-14.323945");
  EXPECT_EQ(rows[9].Value, "150.250000");
  EXPECT_EQ(rows[10].Value, "с коррекцией");
  EXPECT_EQ(rows[12].Name, "время прибора");
  EXPECT_EQ(rows[12].Value, "14.09.11 01:46:40");
  EXPECT_EQ(rows[13].Name, "вкл.  записи");
  EXPECT_EQ(rows[13].Value, "");
  EXPECT_EQ(rows[14].Value, "14.09.11 01:56:40");
  EXPECT_EQ(rows[15].Name, "каналы: 0 - 5");
  EXPECT_EQ(rows[15].Value, " 0B :   0 1 3 F F F");
  EXPECT_EQ(rows[16].Value, "500 Гц");
  EXPECT_EQ(rows[17].Value, "12.000 / 11.500");
  EXPECT_EQ(rows[18].Name, "");

  st.crtFL = 0x04;
  st.sysFL = 0;
  st.Channels = 2;
  st.BatteryScale = 0;
  st.AccuScale = 2000;
  st.AccuReading1 = 6000;
  st.AccuReading2 = 6100;
  rows = MakeStatusGrid(st, *setup, 500, false);
  EXPECT_EQ(rows[2].Value, "внутренний");
  EXPECT_EQ(rows[3].Value, "включается для синх.");
  EXPECT_EQ(rows[5].Value, "подстройка через 42 сек");
  EXPECT_EQ(rows[10].Value, "без коррекции");
  EXPECT_EQ(rows[15].Value, " 0B :  0 1 3");
  EXPECT_EQ(rows[17].Name, "");
  EXPECT_EQ(rows[18].Value, "12.000 / 12.200");
}

TEST_F(StatusPanel, DetailedGrid) {
  st.Id = 0x0203;
  st.sysRG = 0x27;
  st.Adder = 0xDEADBEEF;
  st.Config5_9[3] = 0x9A;
  st.ChannelMask = 0x3F;
  st.MaskExtra = 0x01;
  st.GPS[0] = 0x1F;
  st.GPS[1] = 0x2;
  st.T_Unit = 0x12345;
  st.K_yc[7] = 64;
  st.Freq[7] = 1000;
  st.BatteryReading1 = 0xA;
  st.BatteryReading2 = 0xB;
  const auto rows = MakeStatusGrid(st, *setup, 1000, true);
  ASSERT_EQ(rows.size(), 72u);
  auto find = [&](const std::string& name) -> std::string {
    for (const auto& r : rows) {
      if (r.Name == name) return r.Value;
    }
    return "<none>";
  };
  EXPECT_EQ(rows[1].Name, "sysRG");
  EXPECT_EQ(rows[1].Value, "27");
  EXPECT_EQ(rows[8].Name, "DFmax");
  EXPECT_EQ(find("Adder"), "deadbeef");
  EXPECT_EQ(find("5-9"), "00 00 00 9A ");
  EXPECT_EQ(find("маска:"), "3F 01 ");
  EXPECT_EQ(find("GPS"), "1f 02");
  EXPECT_EQ(find("T_Unit"), "12345");
  EXPECT_EQ(find("K_yc(7)"), "64");
  EXPECT_EQ(find("Freq(7)"), "1000");
  EXPECT_EQ(find(" Vбат:"), "0a 0b");
  EXPECT_EQ(rows[69].Name, " Vакк:");
  EXPECT_EQ(rows[70].Name, "");
}

}  // namespace
}  // namespace recorder
