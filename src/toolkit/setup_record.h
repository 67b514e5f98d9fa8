#pragma once
// SetupRecord: the processing program's one settings and working-state record. It is stored byte for byte
// as the setup file "qvd.0", so its layout is a file format: every field sits at a fixed offset, and
// the bytes between named fields are carried through unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "toolkit/recording_file.h"

namespace toolkit {

constexpr size_t kSetupRecordSize = 15384;
constexpr int kMaxPlotColumns = 1400;  // widest plot; the envelope keeps maxima at x + 1400
constexpr int kStationSlots = 16;
constexpr int kStationNameSize = 24;
constexpr int kSelectedFileSlots = 8;
constexpr int kMaxVerticalCursors = 16;

#pragma pack(push, 1)
struct SetupRecord {
  // ---- Channels in memory and view state of the main plot ----
  CHANNEL_HEADER MemChannels[64];  // 0     headers of the channels in memory
  uint8_t Gap4608[120];            // 4608
  double MemCoef[64];              // 4728  coefficient applied to each channel in memory
  double DisplayGain[64];          // 5240  display gain of each channel
  float OverviewReference[64];     // 5752  row reference of the overview strip's snapshot
  float RowReference[64];          // 6008  display value on each row's baseline
  float OverviewScale[64];         // 6264  row scale of the overview strip's snapshot
  int32_t ColumnCount[64];         // 6520  columns filled per channel by the last reduction
  float ChannelMax[64];            // 6776  running maximum over the filled columns
  float ChannelMin[64];            // 7032  running minimum over the filled columns
  float Baseline[64];              // 7288  row baseline above the plot bottom, pixels
  float RowOffset[64];             // 7544  baseline - scale * row reference
  uint16_t ArrayCount;             // 7800  channel arrays to allocate for a read
  uint16_t ArraysAllocated;        // 7802  channel arrays allocated
  uint16_t SamplesPerColumn;       // 7804
  uint8_t NormaliseChannels;       // 7806
  uint8_t PlotLayout;              // 7807  0 overlaid, 1 overlaid on a common range, 2 stacked rows
  uint8_t Cubic;                   // 7808  four-point interpolation on/off
  uint8_t Gap7809;                 // 7809
  uint16_t SeveralStations;        // 7810
  uint16_t StationCount;           // 7812
  char Stations[kStationSlots][kStationNameSize];  // 7814
  uint16_t ChannelCount;                           // 8198  channels in memory
  MAIN_HEADER Header;                              // 8200  main header of the current file
  CHANNEL_HEADER FileChannels[64];                 // 8320  channel headers of the current file
  char DataDir[256];                               // 12928 directory of the recordings
  char FileName[64];                               // 13184 path of the current file
  char SelectedFiles[kSelectedFileSlots][64];      // 13248 files chosen together in the chooser
  uint16_t ChooserFilter;       // 13760 0 only good headers ("XXz"), 1 all files ("Все")
  uint16_t ChooserSort;         // 13762 0 by file time, newest first; 1 by name
  uint16_t ChosenCount;         // 13764 files chosen together
  uint16_t LoadChannels;        // 13766 channels to read from each file or station
  uint16_t ChannelMap[64];      // 13768 file channel of each memory channel
  uint16_t CoefficientCheck;    // 13896
  uint16_t FirstChannel;        // 13898 first channel shown
  uint16_t ShownEnd;            // 13900 end of the shown channels (exclusive)
  uint16_t MarkerChannel;       // 13902
  uint16_t CursorIndex;         // 13904
  uint16_t UseCoefficients;     // 13906 multiply samples by their Coef on load
  uint8_t StationMode;          // 13908
  uint8_t CursorMode;           // 13909
  uint8_t VerticalCursorCount;  // 13910 1 ... 16
  uint8_t HistogramRmsMinutes;  // 13911
  uint8_t ArithmeticSign;       // 13912 '+', '-', '*' or '/'
  uint8_t LongFileNames;        // 13913
  uint16_t RemoveMean;          // 13914

  // ---- Processing, spectrum and analysis ----
  uint16_t FilterType;               // 13916 0 low-pass, 1 band-pass, 2 high-pass, 3 band-stop
  uint16_t PotterHalfLength;         // 13918 2 ... 2200
  uint16_t SpectrumFirstBin;         // 13920
  uint16_t SpectrumLastBin;          // 13922
  uint16_t SpectrumShift;            // 13924
  uint16_t WindowType;               // 13926
  uint16_t SpectrumScale;            // 13928
  uint8_t Gap13930[2];               // 13930
  uint32_t StationStart;             // 13932 seconds since 1899-12-30
  uint16_t StationHours;             // 13936
  uint16_t SettingsPage;             // 13938 0xFFFF open mode
  uint16_t SearchMethod;             // 13940
  uint16_t Channel;                  // 13942 processed channel; == ChannelCount means all channels
  uint16_t SpectralDensity;          // 13944
  uint16_t PlotHeightPercent;        // 13946 100 ... 300
  int16_t ArithmeticChannel2;        // 13948
  uint8_t Gap13950[2];               // 13950
  double LogFloor;                   // 13952 at least 1e-13
  uint32_t Samples;                  // 13960 samples per channel in memory
  uint32_t FileSamples;              // 13964 samples per channel of the current file
  uint32_t FftLength;                // 13968 2^6 ... 2^16
  uint32_t FourierLength;            // 13972 at most 65536
  uint32_t CursorSpanLength;         // 13976
  uint16_t SpectrumMode;             // 13980
  uint8_t Gap13982[2];               // 13982
  float ArithmeticA;                 // 13984
  float ArithmeticB;                 // 13988
  float ArithmeticC;                 // 13992
  uint8_t Gap13996[4];               // 13996
  double Dt;                         // 14000 sampling interval in memory, s
  double FilterLow;                  // 14008 band edges of the main window's filters, Hz
  double FilterHigh;                 // 14016
  double Integral1;                  // 14024
  double Integral2;                  // 14032
  double IntegralCorner;             // 14040 Hz
  double IntegralDecay;              // 14048
  double DerivativePotterPoints;     // 14056
  double DerivativeCutoff;           // 14064 Hz
  double StoredCornerLow;            // 14072
  double StoredCornerHigh;           // 14080
  double FreqIntegrationLow;         // 14088
  double FreqIntegrationHigh;        // 14096
  double FreqDifferentiationLow;     // 14104
  double FreqDifferentiationHigh;    // 14112
  uint16_t TestMode;                 // 14120
  int16_t HarmonicFirst;             // 14122
  int16_t HarmonicEnd;               // 14124
  int16_t HarmonicStep;              // 14126
  int16_t PhaseSpread;               // 14128
  uint16_t TestChannels;             // 14130
  uint8_t Gap14132[4];               // 14132
  double SweepAmplitude;             // 14136
  double SweepFrequency;             // 14144
  double SweepRate;                  // 14152
  double SineAmplitude;              // 14160
  double SineFrequency;              // 14168
  int32_t NoiseLevel;                // 14176
  uint8_t Gap14180[4];               // 14180
  double LtaWindow;                  // 14184 s
  double StaWindow;                  // 14192 s
  double StaLtaScale;                // 14200
  double SearchStoredLow;            // 14208
  double SearchStoredHigh;           // 14216
  double SearchBandLow;              // 14224
  double SearchBandHigh;             // 14232
  double SpectralChangeWindow;       // 14240 s
  double ResponsePeriod;             // 14248
  int32_t SpectrumCount;             // 14256
  float SpectrumMax;                 // 14260
  uint32_t SpectrumEnd;              // 14264
  uint32_t HarmonicPeriod;           // 14268
  float PlotScale;                   // 14272 pixels per display unit per row
  int32_t PixelsPerSample;           // 14276
  int32_t MarkerY[2][64];            // 14280
  int32_t CursorColumns[2][64];      // 14792
  int32_t Nn;                        // 15304 first sample of the visible range
  int32_t Nk;                        // 15308 last sample of the visible range
  int32_t CursorSamples[2];          // 15312
  uint8_t ViewChanged;               // 15320
  uint8_t CursorSet;                 // 15321
  uint8_t Gap15322[2];               // 15322
  float PlotRange;                   // 15324
  int32_t OverviewStart;             // 15328
  int32_t OverviewSamplesPerColumn;  // 15332
  float HarmfulBandLow;              // 15336
  float HarmfulBandHigh;             // 15340
  float UsefulBandLow;               // 15344
  float UsefulBandHigh;              // 15348
  float SwanLow;                     // 15352
  float SwanHigh;                    // 15356
  uint8_t Gap15360[4];               // 15360
  float SwanDamping;                 // 15364
  int32_t SwanFilter;                // 15368
  uint16_t SwanNormalise;            // 15372
  int16_t SwanSmoothPoints;          // 15374 1 ... 4
  uint16_t SwanDetailed;             // 15376
  int16_t DrawDelay;                 // 15378 ms
  uint8_t WhiteBackground;           // 15380
  uint8_t Gap15381;                  // 15381
  uint16_t ButterworthOrder;         // 15382
};
#pragma pack(pop)

static_assert(sizeof(SetupRecord) == kSetupRecordSize);
static_assert(offsetof(SetupRecord, MemChannels) == 0);
static_assert(offsetof(SetupRecord, MemCoef) == 4728);
static_assert(offsetof(SetupRecord, DisplayGain) == 5240);
static_assert(offsetof(SetupRecord, OverviewReference) == 5752);
static_assert(offsetof(SetupRecord, RowReference) == 6008);
static_assert(offsetof(SetupRecord, OverviewScale) == 6264);
static_assert(offsetof(SetupRecord, ColumnCount) == 6520);
static_assert(offsetof(SetupRecord, ChannelMax) == 6776);
static_assert(offsetof(SetupRecord, ChannelMin) == 7032);
static_assert(offsetof(SetupRecord, Baseline) == 7288);
static_assert(offsetof(SetupRecord, RowOffset) == 7544);
static_assert(offsetof(SetupRecord, ArrayCount) == 7800);
static_assert(offsetof(SetupRecord, ArraysAllocated) == 7802);
static_assert(offsetof(SetupRecord, SamplesPerColumn) == 7804);
static_assert(offsetof(SetupRecord, NormaliseChannels) == 7806);
static_assert(offsetof(SetupRecord, PlotLayout) == 7807);
static_assert(offsetof(SetupRecord, Cubic) == 7808);
static_assert(offsetof(SetupRecord, SeveralStations) == 7810);
static_assert(offsetof(SetupRecord, StationCount) == 7812);
static_assert(offsetof(SetupRecord, Stations) == 7814);
static_assert(offsetof(SetupRecord, ChannelCount) == 8198);
static_assert(offsetof(SetupRecord, Header) == 8200);
static_assert(offsetof(SetupRecord, FileChannels) == 8320);
static_assert(offsetof(SetupRecord, DataDir) == 12928);
static_assert(offsetof(SetupRecord, FileName) == 13184);
static_assert(offsetof(SetupRecord, SelectedFiles) == 13248);
static_assert(offsetof(SetupRecord, ChooserFilter) == 13760);
static_assert(offsetof(SetupRecord, ChooserSort) == 13762);
static_assert(offsetof(SetupRecord, ChosenCount) == 13764);
static_assert(offsetof(SetupRecord, LoadChannels) == 13766);
static_assert(offsetof(SetupRecord, ChannelMap) == 13768);
static_assert(offsetof(SetupRecord, CoefficientCheck) == 13896);
static_assert(offsetof(SetupRecord, FirstChannel) == 13898);
static_assert(offsetof(SetupRecord, ShownEnd) == 13900);
static_assert(offsetof(SetupRecord, MarkerChannel) == 13902);
static_assert(offsetof(SetupRecord, CursorIndex) == 13904);
static_assert(offsetof(SetupRecord, UseCoefficients) == 13906);
static_assert(offsetof(SetupRecord, StationMode) == 13908);
static_assert(offsetof(SetupRecord, CursorMode) == 13909);
static_assert(offsetof(SetupRecord, VerticalCursorCount) == 13910);
static_assert(offsetof(SetupRecord, HistogramRmsMinutes) == 13911);
static_assert(offsetof(SetupRecord, ArithmeticSign) == 13912);
static_assert(offsetof(SetupRecord, LongFileNames) == 13913);
static_assert(offsetof(SetupRecord, RemoveMean) == 13914);
static_assert(offsetof(SetupRecord, FilterType) == 13916);
static_assert(offsetof(SetupRecord, PotterHalfLength) == 13918);
static_assert(offsetof(SetupRecord, SpectrumFirstBin) == 13920);
static_assert(offsetof(SetupRecord, SpectrumLastBin) == 13922);
static_assert(offsetof(SetupRecord, SpectrumShift) == 13924);
static_assert(offsetof(SetupRecord, WindowType) == 13926);
static_assert(offsetof(SetupRecord, SpectrumScale) == 13928);
static_assert(offsetof(SetupRecord, StationStart) == 13932);
static_assert(offsetof(SetupRecord, StationHours) == 13936);
static_assert(offsetof(SetupRecord, SettingsPage) == 13938);
static_assert(offsetof(SetupRecord, SearchMethod) == 13940);
static_assert(offsetof(SetupRecord, Channel) == 13942);
static_assert(offsetof(SetupRecord, SpectralDensity) == 13944);
static_assert(offsetof(SetupRecord, PlotHeightPercent) == 13946);
static_assert(offsetof(SetupRecord, ArithmeticChannel2) == 13948);
static_assert(offsetof(SetupRecord, LogFloor) == 13952);
static_assert(offsetof(SetupRecord, Samples) == 13960);
static_assert(offsetof(SetupRecord, FileSamples) == 13964);
static_assert(offsetof(SetupRecord, FftLength) == 13968);
static_assert(offsetof(SetupRecord, FourierLength) == 13972);
static_assert(offsetof(SetupRecord, CursorSpanLength) == 13976);
static_assert(offsetof(SetupRecord, SpectrumMode) == 13980);
static_assert(offsetof(SetupRecord, ArithmeticA) == 13984);
static_assert(offsetof(SetupRecord, ArithmeticB) == 13988);
static_assert(offsetof(SetupRecord, ArithmeticC) == 13992);
static_assert(offsetof(SetupRecord, Dt) == 14000);
static_assert(offsetof(SetupRecord, FilterLow) == 14008);
static_assert(offsetof(SetupRecord, FilterHigh) == 14016);
static_assert(offsetof(SetupRecord, Integral1) == 14024);
static_assert(offsetof(SetupRecord, Integral2) == 14032);
static_assert(offsetof(SetupRecord, IntegralCorner) == 14040);
static_assert(offsetof(SetupRecord, IntegralDecay) == 14048);
static_assert(offsetof(SetupRecord, DerivativePotterPoints) == 14056);
static_assert(offsetof(SetupRecord, DerivativeCutoff) == 14064);
static_assert(offsetof(SetupRecord, StoredCornerLow) == 14072);
static_assert(offsetof(SetupRecord, StoredCornerHigh) == 14080);
static_assert(offsetof(SetupRecord, FreqIntegrationLow) == 14088);
static_assert(offsetof(SetupRecord, FreqIntegrationHigh) == 14096);
static_assert(offsetof(SetupRecord, FreqDifferentiationLow) == 14104);
static_assert(offsetof(SetupRecord, FreqDifferentiationHigh) == 14112);
static_assert(offsetof(SetupRecord, TestMode) == 14120);
static_assert(offsetof(SetupRecord, HarmonicFirst) == 14122);
static_assert(offsetof(SetupRecord, HarmonicEnd) == 14124);
static_assert(offsetof(SetupRecord, HarmonicStep) == 14126);
static_assert(offsetof(SetupRecord, PhaseSpread) == 14128);
static_assert(offsetof(SetupRecord, TestChannels) == 14130);
static_assert(offsetof(SetupRecord, SweepAmplitude) == 14136);
static_assert(offsetof(SetupRecord, SweepFrequency) == 14144);
static_assert(offsetof(SetupRecord, SweepRate) == 14152);
static_assert(offsetof(SetupRecord, SineAmplitude) == 14160);
static_assert(offsetof(SetupRecord, SineFrequency) == 14168);
static_assert(offsetof(SetupRecord, NoiseLevel) == 14176);
static_assert(offsetof(SetupRecord, LtaWindow) == 14184);
static_assert(offsetof(SetupRecord, StaWindow) == 14192);
static_assert(offsetof(SetupRecord, StaLtaScale) == 14200);
static_assert(offsetof(SetupRecord, SearchStoredLow) == 14208);
static_assert(offsetof(SetupRecord, SearchStoredHigh) == 14216);
static_assert(offsetof(SetupRecord, SearchBandLow) == 14224);
static_assert(offsetof(SetupRecord, SearchBandHigh) == 14232);
static_assert(offsetof(SetupRecord, SpectralChangeWindow) == 14240);
static_assert(offsetof(SetupRecord, ResponsePeriod) == 14248);
static_assert(offsetof(SetupRecord, SpectrumCount) == 14256);
static_assert(offsetof(SetupRecord, SpectrumMax) == 14260);
static_assert(offsetof(SetupRecord, SpectrumEnd) == 14264);
static_assert(offsetof(SetupRecord, HarmonicPeriod) == 14268);
static_assert(offsetof(SetupRecord, PlotScale) == 14272);
static_assert(offsetof(SetupRecord, PixelsPerSample) == 14276);
static_assert(offsetof(SetupRecord, MarkerY) == 14280);
static_assert(offsetof(SetupRecord, MarkerY[1]) == 14536);
static_assert(offsetof(SetupRecord, CursorColumns) == 14792);
static_assert(offsetof(SetupRecord, CursorColumns[1]) == 15048);
static_assert(offsetof(SetupRecord, Nn) == 15304);
static_assert(offsetof(SetupRecord, Nk) == 15308);
static_assert(offsetof(SetupRecord, CursorSamples) == 15312);
static_assert(offsetof(SetupRecord, ViewChanged) == 15320);
static_assert(offsetof(SetupRecord, CursorSet) == 15321);
static_assert(offsetof(SetupRecord, PlotRange) == 15324);
static_assert(offsetof(SetupRecord, OverviewStart) == 15328);
static_assert(offsetof(SetupRecord, OverviewSamplesPerColumn) == 15332);
static_assert(offsetof(SetupRecord, HarmfulBandLow) == 15336);
static_assert(offsetof(SetupRecord, HarmfulBandHigh) == 15340);
static_assert(offsetof(SetupRecord, UsefulBandLow) == 15344);
static_assert(offsetof(SetupRecord, UsefulBandHigh) == 15348);
static_assert(offsetof(SetupRecord, SwanLow) == 15352);
static_assert(offsetof(SetupRecord, SwanHigh) == 15356);
static_assert(offsetof(SetupRecord, SwanDamping) == 15364);
static_assert(offsetof(SetupRecord, SwanFilter) == 15368);
static_assert(offsetof(SetupRecord, SwanNormalise) == 15372);
static_assert(offsetof(SetupRecord, SwanSmoothPoints) == 15374);
static_assert(offsetof(SetupRecord, SwanDetailed) == 15376);
static_assert(offsetof(SetupRecord, DrawDelay) == 15378);
static_assert(offsetof(SetupRecord, WhiteBackground) == 15380);
static_assert(offsetof(SetupRecord, ButterworthOrder) == 15382);

// The live record, allocated by the main window before the setup file is loaded and freed at exit.
extern SetupRecord* Setup;

// Zeroes the record and sets every default; `programDir` becomes the data directory (cut to its field).
void SetSetupDefaults(SetupRecord& setup, const std::string& programDir);

// Makes a record read from a file safe to use: every text field ends inside its field, and counts,
// channel numbers, indices and settings with a fixed range are brought into that range. Returns the
// number of fields changed (0 for a record written by this program).
int SanitizeSetup(SetupRecord& setup);

}  // namespace toolkit
