#include "viewer/processing_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>

#include "platform/memory_budget.h"
#include "support/address_space_limit.h"
#include "toolkit/python_reference.h"
#include "viewer/command_memory.h"
#include "viewer/view_host_fake.h"

namespace {

using viewer::CommandResult;

// Channel arrays as the loader leaves them: one vector per channel, and the pointer table.
struct Record {
  std::unique_ptr<toolkit::SetupRecord> s;
  std::vector<std::vector<float>> data;
  std::vector<float*> ptr;
  Record(int channels, uint32_t samples)
      : s(viewer_test::MakeSetup(channels, samples)), data(channels), ptr(64) {
    for (int c = 0; c < channels; ++c) {
      data[c].assign(samples + 90, 0.0f);
      ptr[c] = data[c].data();
    }
  }
  float* const* k() { return ptr.data(); }
};

TEST(ProcessedChannels, OneOrAll) {
  Record r(5, 10);
  r.s->Channel = 3;
  EXPECT_EQ(viewer::ProcessedChannels(*r.s).first, 3);
  EXPECT_EQ(viewer::ProcessedChannels(*r.s).end, 4);
  r.s->Channel = 5;
  EXPECT_EQ(viewer::ProcessedChannels(*r.s).first, 0);
  EXPECT_EQ(viewer::ProcessedChannels(*r.s).end, 5);
  r.s->Channel = 9;
  EXPECT_EQ(viewer::ProcessedChannels(*r.s).end, 0);
}

TEST(ChannelArithmetic, FormulaOverAllSamplesWithTheOldValueOnBothSides) {
  Record r(2, 3);
  r.data[0] = {1, 2, 3};
  r.data[1] = {10, 20, 30};
  r.s->Channel = 0;
  r.s->ArithmeticChannel2 = 0;  // e = d
  r.s->ArithmeticA = 1;
  r.s->ArithmeticB = 2;
  r.s->ArithmeticC = 1;
  r.s->ArithmeticSign = '*';
  r.s->Nn = 1;  // the selection does not matter: every sample
  r.s->Nk = 2;
  EXPECT_TRUE(viewer::ChannelArithmetic(*r.s, r.k()).redraw);
  EXPECT_EQ(r.data[0], (std::vector<float>{6, 15, 28}));  // (k + 1) * (2 k + 1)
  r.s->ArithmeticChannel2 = 1;
  r.s->ArithmeticSign = '-';
  r.s->ArithmeticA = 0;
  r.s->ArithmeticB = 0.5f;
  r.s->ArithmeticC = 0;
  viewer::ChannelArithmetic(*r.s, r.k());
  EXPECT_EQ(r.data[0], (std::vector<float>{1, 5, 13}));
  EXPECT_EQ(viewer::ChannelOperationFormula(*r.s),
            " K[0] = ( K[0]  +  0.0000 ) - ( 0.5000 * K[1]  +  0.0000 )");
  EXPECT_EQ(viewer::ChannelOperationCaption(*r.s), "Пишем в канал 0. Сменить - выбор обрабат. канала.");
}

TEST(ChannelArithmetic, ZeroDivisorOrOverflowWritesNothing) {
  Record r(2, 4);
  r.data[0] = {1, 2, 3, 4};
  r.data[1] = {1, 1, -1, 1};
  r.s->Channel = 0;
  r.s->ArithmeticChannel2 = 1;
  r.s->ArithmeticA = 0;
  r.s->ArithmeticB = 1;
  r.s->ArithmeticC = 1;  // the third divisor is -1 + 1 = 0
  r.s->ArithmeticSign = '/';
  CommandResult res = viewer::ChannelArithmetic(*r.s, r.k());
  ASSERT_EQ(res.messages.size(), 1u);
  EXPECT_NE(res.messages[0].find("деление на 0"), std::string::npos);
  EXPECT_FALSE(res.redraw);
  EXPECT_EQ(r.data[0], (std::vector<float>{1, 2, 3, 4}));
  r.s->ArithmeticC = 2;
  r.s->ArithmeticSign = '*';
  r.s->ArithmeticB = 3e38f;
  r.data[0] = {3e38f, 1, 1, 1};
  res = viewer::ChannelArithmetic(*r.s, r.k());
  ASSERT_EQ(res.messages.size(), 1u);
  EXPECT_EQ(r.data[0][0], 3e38f);
  r.s->ArithmeticB = 1;
  r.s->ArithmeticSign = '/';
  r.data[0] = {1, 2, 3, 4};
  EXPECT_TRUE(viewer::ChannelArithmetic(*r.s, r.k()).messages.empty());
  EXPECT_EQ(r.data[0], (std::vector<float>{1.0f / 3, 2.0f / 3, 3.0f, 4.0f / 3}));
}

TEST(ChannelArithmetic, PanelPreparationAndSigns) {
  Record r(3, 4);
  r.s->Channel = 3;  // all channels: writes into channel 0
  r.s->ArithmeticChannel2 = 7;
  viewer::PrepareChannelOperation(*r.s);
  EXPECT_EQ(r.s->Channel, 0);
  EXPECT_EQ(r.s->ArithmeticChannel2, 2);
  r.s->ArithmeticChannel2 = -4;
  viewer::PrepareChannelOperation(*r.s);
  EXPECT_EQ(r.s->ArithmeticChannel2, 0);
  EXPECT_EQ(viewer::SignOfItem(3, '+'), '/');
  EXPECT_EQ(viewer::SignOfItem(-1, '*'), '*');
}

TEST(LeastSquares, AgreesWithNumpyAndRefusesDegenerateInput) {
  std::mt19937 gen(7);
  std::normal_distribution<float> noise(0, 1);
  std::vector<float> x(200), y(200);
  std::ostringstream xs, ys;
  xs.precision(9);
  ys.precision(9);
  for (int i = 0; i < 200; ++i) {
    x[i] = static_cast<float>(i) * 0.1f + noise(gen);
    y[i] = 2.5f * x[i] - 4.0f + noise(gen);
    xs << (i ? "," : "") << x[i];
    ys << (i ? "," : "") << y[i];
  }
  double a = 0, b = 0;
  ASSERT_TRUE(viewer::LeastSquares(x.data(), y.data(), 200, a, b));
  const auto out = toolkit_test::RunPython(
      "lsq",
      "import numpy as np\nx=np.array([" + xs.str() + "],dtype=np.float32).astype(float)\ny=np.array([" +
          ys.str() +
          "],dtype=np.float32).astype(float)\na,b=np.polyfit(x,y,1)\nprint(repr(a))\nprint(repr(b))\n");
  ASSERT_EQ(out.size(), 2u);
  EXPECT_NEAR(a, std::stod(out[0]), 1e-9);
  EXPECT_NEAR(b, std::stod(out[1]), 1e-9);

  // A channel at a high level with a spread of a few counts: the fit is well posed and agrees with one
  // computed in long double from the same floats.
  for (double offset : {1e5, 1e6, 4e6, 8e6}) {
    std::vector<float> hx(5000), hy(5000);
    std::uniform_int_distribution<int> counts(-4, 4);
    for (size_t i = 0; i < hx.size(); ++i) {
      hx[i] = static_cast<float>(offset + counts(gen));
      hy[i] = static_cast<float>(3.0 * (hx[i] - offset) + offset + 7.0 + 0.25 * counts(gen));
    }
    long double mx = 0, my = 0;
    for (size_t i = 0; i < hx.size(); ++i) {
      mx += hx[i];
      my += hy[i];
    }
    mx /= hx.size();
    my /= hx.size();
    long double sxx = 0, sxy = 0;
    for (size_t i = 0; i < hx.size(); ++i) {
      sxx += (hx[i] - mx) * (hx[i] - mx);
      sxy += (hx[i] - mx) * (hy[i] - my);
    }
    const long double refA = sxy / sxx, refB = my - refA * mx;
    ASSERT_TRUE(viewer::LeastSquares(hx.data(), hy.data(), 5000, a, b)) << offset;
    EXPECT_NEAR(a, static_cast<double>(refA), 1e-9) << offset;
    EXPECT_NEAR(b, static_cast<double>(refB), 1e-9 * offset) << offset;
    EXPECT_NEAR(a, 3.0, 0.01) << offset;
  }

  std::vector<float> flat(50, 3.0f);
  a = b = 99;
  EXPECT_FALSE(viewer::LeastSquares(flat.data(), y.data(), 50, a, b));
  EXPECT_FALSE(viewer::LeastSquares(x.data(), y.data(), 1, a, b));
  EXPECT_EQ(a, 99);
}

TEST(Comparisons, FitWritesChannelsOneAndTwoOverTheSelection) {
  Record r(3, 10);
  for (int n = 0; n < 10; ++n) {
    r.data[1][n] = static_cast<float>(n);
    r.data[0][n] = 3.0f * n + 2.0f;
  }
  r.s->Nn = 2;
  r.s->Nk = 8;
  CommandResult res = viewer::CompareByFit(*r.s, r.k());
  ASSERT_EQ(res.messages.size(), 1u);
  EXPECT_EQ(res.messages[0], "K усиления = 3.00000; смещение 2.00000 ");
  EXPECT_TRUE(res.redraw);
  for (int n = 2; n < 8; ++n) {
    EXPECT_NEAR(r.data[1][n], r.data[0][n], 1e-4);
    EXPECT_NEAR(r.data[2][n], 0.0f, 1e-4);
  }
  EXPECT_EQ(r.data[1][8], 8.0f);  // outside the selection
  EXPECT_EQ(r.data[2][9], 0.0f);

  // The sum of channels 1 and 2 fitted onto channel 0.
  for (int n = 0; n < 10; ++n) {
    r.data[1][n] = static_cast<float>(n);
    r.data[2][n] = static_cast<float>(n % 3);
    r.data[0][n] = -2.0f * (n + n % 3) + 1.0f;
  }
  res = viewer::SubtractDifferenceChannels(*r.s, r.k());
  EXPECT_EQ(res.messages[0], "K усиления = -2.00000; смещение 1.00000 ");
  EXPECT_NEAR(r.data[1][5], -13.0f, 1e-4);
  EXPECT_NEAR(r.data[2][5], 0.0f, 1e-4);
}

TEST(Comparisons, RefusalsLeaveTheChannels) {
  Record two(2, 10);
  EXPECT_EQ(viewer::CompareByFit(*two.s, two.k()).messages, (std::vector<std::string>{"мало каналов!!"}));
  EXPECT_EQ(viewer::CompareByRange(*two.s, two.k()).messages, (std::vector<std::string>{"мало каналов!!"}));

  Record r(3, 10);
  for (int n = 0; n < 10; ++n) r.data[0][n] = static_cast<float>(n);
  std::fill(r.data[1].begin(), r.data[1].end(), 4.0f);  // flat: all x equal
  const auto before = r.data;
  CommandResult res = viewer::CompareByFit(*r.s, r.k());
  EXPECT_FALSE(res.redraw);
  ASSERT_EQ(res.messages.size(), 1u);
  EXPECT_NE(res.messages[0].find("подгонка невозможна"), std::string::npos);
  r.s->Nn = r.s->Nk = 5;  // empty selection
  EXPECT_EQ(viewer::CompareByFit(*r.s, r.k()).messages, (std::vector<std::string>{"пустой участок!!"}));
  EXPECT_EQ(viewer::CompareByRange(*r.s, r.k()).messages, (std::vector<std::string>{"пустой участок!!"}));
  r.s->Nn = 0;
  r.s->Nk = 9;
  r.s->ChannelMin[1] = r.s->ChannelMax[1] = 4.0f;
  res = viewer::CompareByRange(*r.s, r.k());
  EXPECT_NE(res.messages.at(0).find("канал 1 постоянен"), std::string::npos);
  EXPECT_EQ(r.data, before);
}

TEST(Comparisons, RangeComparisonMapsTheExtremes) {
  Record r(3, 4);
  r.data[0] = {10, 20, 30, 40};
  r.data[1] = {1, 2, 3, 4};
  r.s->ChannelMin[0] = 10;
  r.s->ChannelMax[0] = 40;
  r.s->ChannelMin[1] = 1;
  r.s->ChannelMax[1] = 4;
  r.s->Nn = 0;
  r.s->Nk = 4;
  EXPECT_TRUE(viewer::CompareByRange(*r.s, r.k()).redraw);
  EXPECT_EQ(std::vector<float>(r.data[1].begin(), r.data[1].begin() + 4),
            (std::vector<float>{10, 20, 30, 40}));
  EXPECT_EQ(std::vector<float>(r.data[2].begin(), r.data[2].begin() + 4), (std::vector<float>{0, 0, 0, 0}));
}

TEST(SingleChannelCommands, AbsoluteValueOnOneOrAllChannels) {
  Record r(2, 3);
  r.data[0] = {-1, 2, -3};
  r.data[1] = {-4, 5, -6};
  r.s->CursorMode = 1;
  EXPECT_FALSE(viewer::AbsoluteValue(*r.s, r.k()).redraw);
  EXPECT_EQ(r.data[0][0], -1);
  r.s->CursorMode = 0;
  r.s->Channel = 1;
  viewer::AbsoluteValue(*r.s, r.k());
  EXPECT_EQ(r.data[0][0], -1);
  EXPECT_EQ(r.data[1], (std::vector<float>{4, 5, 6}));
  r.s->Channel = 2;    // all channels
  r.ptr[1] = nullptr;  // a channel whose array could not be allocated is passed over
  viewer::AbsoluteValue(*r.s, r.k());
  EXPECT_EQ(r.data[0], (std::vector<float>{1, 2, 3}));
}

TEST(SingleChannelCommands, SmoothingKeepsTheExtremesAndJoinsThemByLines) {
  // Traced by hand: the first tracked extreme ends the first two steps at once; the last segment runs
  // from the maximum 8 to the last step, where the sample 6 in between falls onto the line to 2.
  std::vector<float> k = {0, 4, 8, 6, 2, 5, 5, 5};
  viewer::SmoothChannel(k.data(), 8);
  EXPECT_EQ(k, (std::vector<float>{0, 4, 8, 5, 2, 5, 5, 5}));
  // A sampled triangle is already made of straight segments between its extremes.
  std::vector<float> tri(40);
  for (int n = 0; n < 40; ++n) tri[n] = static_cast<float>(10 - std::abs(n % 20 - 10));
  std::vector<float> smooth = tri;
  viewer::SmoothChannel(smooth.data(), 40);
  for (int n = 0; n < 37; ++n) EXPECT_FLOAT_EQ(smooth[n], tri[n]) << n;
  // Negative samples: the segment ends take absolute values.
  std::vector<float> neg = {0, -4, -8, -6, -2, 0, 0, 0};
  viewer::SmoothChannel(neg.data(), 8);
  EXPECT_EQ(neg[2], 8.0f);
  std::vector<float> shortOne = {5, -1, 2};
  viewer::SmoothChannel(shortOne.data(), 3);
  EXPECT_EQ(shortOne, (std::vector<float>{5, -1, 2}));
}

TEST(TickCheck, SawWithWrapsIsInOrder) {
  Record r(1, 400);
  // A saw of step 5 that wraps every second at 100 Hz: 0, 5, ..., 495, 0, ...
  for (int n = 0; n < 400; ++n) r.data[0][n] = static_cast<float>(5 * (n % 100));
  r.s->Header.Rate = 100;
  r.s->Nn = 10;
  r.s->Nk = 390;
  const CommandResult res = viewer::CheckTicks(*r.s, r.k(), 1200);
  ASSERT_EQ(res.messages.size(), 1u);
  EXPECT_EQ(res.messages[0],
            "Для проверки тиков в отмеченнои канале\nпила c шагом  5  до  500\n\n   порядок");
  EXPECT_FALSE(res.redraw);
}

TEST(TickCheck, TenAnomaliesListSevenLines) {
  Record r(1, 400);
  for (int n = 0; n < 400; ++n) r.data[0][n] = static_cast<float>(5 * n);
  for (int i = 0; i < 10; ++i)
    r.data[0][100 + 20 * i] += 0.5f + 2.0f;  // each breaks one step... and the next
  r.s->Header.Rate = 100;
  r.s->Header.to = 3600.0;
  r.s->SamplesPerColumn = 2;
  r.s->Nn = 0;
  r.s->Nk = 399;
  const std::string text = viewer::CheckTicks(*r.s, r.k(), 1200).messages.at(0);
  size_t lines = 0;
  for (size_t p = 0; (p = text.find("\nточка графика", p)) != std::string::npos; ++p) ++lines;
  EXPECT_EQ(lines, 7u);
  EXPECT_NE(text.find("\nточка графика 0049 / 01:00:00:    502.500000 - 495.000000 = 7"), std::string::npos);
  EXPECT_TRUE(text.ends_with("\n   проблемы !!!"));
}

TEST(TickCheck, RefusedForAllChannelsOrWithMeanRemoval) {
  Record r(2, 100);
  r.s->Channel = 2;
  EXPECT_EQ(viewer::CheckTicks(*r.s, r.k(), 1200).messages,
            (std::vector<std::string>{"тики: выберите один канал"}));
  r.s->RemoveMean = 1;
  EXPECT_EQ(viewer::CheckTicks(*r.s, r.k(), 1200).messages,
            (std::vector<std::string>{"убери НЧ фильтр в установках"}));
  r.s->RemoveMean = 0;
  r.s->Channel = 0;
  r.s->Nn = 50;
  r.s->Nk = 51;
  EXPECT_EQ(viewer::CheckTicks(*r.s, r.k(), 1200).messages, (std::vector<std::string>{"пустой участок!!"}));
}

TEST(InterpolationTest, AgreesWithAnIndependentComputation) {
  Record r(6, 64);
  r.s->SweepFrequency = 37.0;
  r.s->SineAmplitude = 1000.7;
  r.s->SineFrequency = 37.0;
  r.s->Header.Rate = 800;
  const CommandResult res = viewer::InterpolationTest(*r.s, r.k());
  EXPECT_EQ(res.messages, (std::vector<std::string>{"интерполяция Sin ( 1601 Гц )  к  800 Гц"}));
  EXPECT_FALSE(res.redraw);
  const auto out = toolkit_test::RunPython("interp", R"(import numpy as np
A=1000.7; Ai=float(int(A)); w=2*np.pi*37.0/1601
for p,o in enumerate([0.0,0.00026625,0.0006425]):
  n=np.arange(64); t=n*0.00125+o; i=np.floor(1601*t+1e-6); u=1-(t-i/1601)*1601
  y=lambda k,amp: amp*np.sin(k*w)
  v=y(i-2,A)*u*(1-u)*(2-u)/6-y(i-1,Ai)*u*(1-u)*(3-u)/2+y(i,Ai)*u*(2-u)*(3-u)/2+y(i+1,Ai)*(1-u)*(2-u)*(3-u)/6
  r=A*np.sin(2*np.pi*37.0*t)
  print(' '.join(repr(float(x)) for x in v)); print(' '.join(repr(float(x)) for x in r-v))
)");
  ASSERT_EQ(out.size(), 6u);
  for (int c = 0; c < 6; ++c) {
    std::istringstream in(out[c]);
    for (int n = 0; n < 64; ++n) {
      double want;
      in >> want;
      EXPECT_NEAR(r.data[c][n], want, 1e-3) << c << " " << n;
    }
  }
  // The interpolation is close to the reference: small differences in the odd channels.
  EXPECT_LT(std::fabs(r.data[1][30]), 5.0f);
  Record five(5, 8);
  EXPECT_EQ(viewer::InterpolationTest(*five.s, five.k()).messages.at(0),
            "интерполяция Sin ( 1601 Гц )  к  100 Гц\n надо не менее 6 каналов");
}

TEST(Filters, ActOnTheProcessedChannelOrOnAll) {
  toolkit::TFunk funk;
  auto fill = [](Record& r) {
    for (size_t c = 0; c < r.data.size(); ++c)
      for (uint32_t n = 0; n < r.s->Samples; ++n)
        r.data[c][n] =
            static_cast<float>(std::sin(2 * M_PI * 40.0 * n * 0.01) + 0.2 * std::sin(2 * M_PI * n * 0.01));
  };
  auto amplitude = [](const std::vector<float>& v) {
    float m = 0;
    for (size_t n = 200; n < 800; ++n) m = std::max(m, std::fabs(v[n]));
    return m;
  };
  Record r(3, 1024);
  fill(r);
  r.s->FilterType = toolkit::TFunk::kFilterLowPass;
  r.s->FilterLow = 5.0;
  r.s->Channel = 1;
  EXPECT_TRUE(viewer::FrequencyDomainCommand(*r.s, r.k(), funk, 0).messages.empty());
  EXPECT_GT(amplitude(r.data[0]), 1.0f);
  EXPECT_LT(amplitude(r.data[1]), 0.3f);
  r.s->Channel = 3;
  viewer::FrequencyDomainCommand(*r.s, r.k(), funk, 0);
  EXPECT_LT(amplitude(r.data[0]), 0.3f);
  EXPECT_LT(amplitude(r.data[2]), 0.3f);
  // A record whose transform cannot be made: a message, and no channel touched.
  fill(r);
  const float before = r.data[1][5];
  for (uint32_t samples : {(1u << 30) + 1, 0x80000001u, 0xFFFFFFFFu}) {
    r.s->Samples = samples;
    const auto refused = viewer::FrequencyDomainCommand(*r.s, r.k(), funk, 1).messages;
    ASSERT_EQ(refused.size(), 1u) << samples;
    EXPECT_NE(refused[0].find("длина БПФ больше 1073741824 точек"), std::string::npos) << refused[0];
  }
  r.s->Samples = 1024;
  EXPECT_EQ(r.data[1][5], before);

  for (bool butterworth : {true, false}) {
    fill(r);
    r.s->ButterworthOrder = 4;
    r.s->PotterHalfLength = 100;
    EXPECT_EQ(viewer::TimeDomainFilter(*r.s, r.data[2].data(), funk, butterworth), "");
    EXPECT_LT(amplitude(r.data[2]), 0.3f) << butterworth;
    EXPECT_GT(amplitude(r.data[1]), 1.0f);
  }
  r.s->ButterworthOrder = 0;  // refused by the designer: a message, the channel unchanged
  fill(r);
  EXPECT_NE(viewer::TimeDomainFilter(*r.s, r.data[2].data(), funk, true), "");
  EXPECT_GT(amplitude(r.data[2]), 1.0f);
}

TEST(Filters, TimeDomainFilterDrawsEachChannelThenWaitsAndRedraws) {
  toolkit::TFunk funk;
  Record r(3, 256);
  r.s->Channel = 3;
  r.s->ButterworthOrder = 2;
  r.s->FilterLow = 5.0;
  r.s->CursorMode = 1;
  r.ptr[1] = nullptr;
  viewer_test::RecordingHost host;
  viewer::RunTimeDomainFilter(*r.s, r.k(), funk, true, host);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"filtered 0", "filtered 2", "message жми", "for_curs",
                                                  "DrawChannels", "DrawTimeAxis"}));
  host.calls.clear();
  r.s->ButterworthOrder = 0;
  r.s->CursorMode = 0;
  viewer::RunTimeDomainFilter(*r.s, r.k(), funk, true, host);
  ASSERT_EQ(host.calls.size(), 4u);
  EXPECT_EQ(host.calls[1], "message жми");
  EXPECT_EQ(host.calls[2], "for_curs");

  // A finished command shows its messages before the redraw; a refused one only its message.
  host.calls.clear();
  viewer::FinishCommand(host, {{"a", "b"}, true}, *r.s);
  viewer::FinishCommand(host, {{"c"}, false}, *r.s);
  EXPECT_EQ(host.calls,
            (std::vector<std::string>{"message a", "message b", "for_curs", "DrawChannels", "message c"}));
}

// Memory running out inside a command (the transform of a long channel): the command says so, the
// channel and the settings are as they were, and the program goes on. Under a memory limit nothing fails
// to allocate: the working space beyond the memory budget is refused before it is taken.
TEST(Filters, OutOfMemoryLeavesChannelsAndSettings) {
  // Its transform needs 64 MiB, more than the memory earlier tests may have left free in the heap (which
  // the limit does not count).
  constexpr uint32_t kSamples = uint32_t{1} << 23;
  toolkit::TFunk funk;
  Record r(3, kSamples);
  for (uint32_t n = 0; n < kSamples; ++n) r.data[0][n] = r.data[1][n] = r.data[2][n] = static_cast<float>(n % 97);
  r.s->Channel = 0;
  r.s->FilterLow = 5.0;
  r.s->PotterHalfLength = 100;
  r.s->Nn = 0;
  r.s->Nk = static_cast<int32_t>(kSamples);
  const std::vector<std::vector<float>> before = r.data;
  const auto setupBefore = std::make_unique<toolkit::SetupRecord>(*r.s);
  auto unchanged = [&] {
    return r.data == before && std::memcmp(r.s.get(), setupBefore.get(), sizeof(toolkit::SetupRecord)) == 0;
  };
  auto refusedWithin = [&](const std::function<CommandResult()>& command) {
    const CommandResult res = viewer::RunWithinMemory(*r.s, [&] {
      r.s->Channel = 1;  // a setting changed before the allocation is put back
      return command();
    });
    return res.messages == std::vector<std::string>{viewer::kCommandOutOfMemoryText} && !res.redraw &&
           unchanged();
  };
  auto filterRefused = [&] {
    viewer_test::RecordingHost host;
    viewer::RunTimeDomainFilter(*r.s, r.k(), funk, false, host);
    return host.calls.size() > 2 && host.calls[0].find("Не хватает памяти") != std::string::npos &&
           host.calls[1] == "message жми" && unchanged();
  };
  {
    const platform::ScopedMemoryForNewData budget(size_t{8} << 20);
    EXPECT_TRUE(refusedWithin([&] { return viewer::FrequencyDomainCommand(*r.s, r.k(), funk, 0); }));
    EXPECT_TRUE(refusedWithin([&] { return viewer::SubtractDifferenceChannels(*r.s, r.k()); }));
    EXPECT_TRUE(filterRefused());
  }
  if (!support::kAddressSpaceLimitWorks) GTEST_SKIP() << "the sanitizers reserve the address space";
  support::ExpectWithinAddressSpace(size_t{8} << 20, [&] {
    return refusedWithin([&] { return viewer::FrequencyDomainCommand(*r.s, r.k(), funk, 0); });
  });
  support::ExpectWithinAddressSpace(size_t{8} << 20, filterRefused);
  EXPECT_EQ(viewer::RunCatchingOutOfMemory([] { throw std::bad_alloc(); }), viewer::kOutOfMemoryStoppedText);
  EXPECT_EQ(viewer::RunCatchingOutOfMemory([] {}), "");
}

}  // namespace
