#pragma once
// The spectrum window over a channel the test fills: a fresh setup record with its defaults, one
// channel in memory at 100 samples a second, the screen 1920 x 1080.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <functional>
#include <memory>

#include "analysis/ui/spectrum_form.h"
#include "support/qt/ui_test_script.h"
#include "toolkit/setup_record.h"
#include "viewer/channel_samples.h"

namespace analysis_test {

class SpectrumWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = toolkit::Setup;
    toolkit::SetSetupDefaults(setup_, "/tmp/");
    toolkit::Setup = &setup_;
    support::Ui().SetScreenSize(QSize(1920, 1080));
  }
  void TearDown() override {
    form.reset();
    viewer::GlobalChannelSamples().FreeAll();
    toolkit::Setup = saved_;
  }

  // Channel 0 holds f(i) for i < count; the selection is Nn .. Nk.
  void Fill(int count, const std::function<float(int)>& f, int Nn, int Nk) {
    auto& samples = viewer::GlobalChannelSamples();
    ASSERT_TRUE(samples.Allocate(0, count + viewer::ChannelSamples::kSpare));
    float lo = 0, hi = 0;
    for (int i = 0; i < count; ++i) {
      samples[0][i] = f(i);
      lo = std::min(lo, samples[0][i]);
      hi = std::max(hi, samples[0][i]);
    }
    setup_.Samples = count;
    setup_.ChannelCount = 1;
    setup_.Channel = 0;
    setup_.Dt = 0.01;
    setup_.Nn = Nn;
    setup_.Nk = Nk;
    setup_.CursorSamples[0] = Nn;
    setup_.CursorSamples[1] = Nk;
    setup_.ChannelMin[0] = lo;
    setup_.ChannelMax[0] = hi;
  }

  // A sine of amplitude `a` at bin `k` of an n-point transform.
  static std::function<float(int)> Sine(double a, int k, int n) {
    return [=](int i) { return static_cast<float>(a * std::sin(2 * M_PI * k * i / n)); };
  }

  void Open() {
    form = std::make_unique<analysis::TForm_spek>();
    form->FormShow();
  }

  QImage& Image() { return form->PBs->Image(); }

  toolkit::SetupRecord& S() { return setup_; }

  std::unique_ptr<analysis::TForm_spek> form;

 private:
  toolkit::SetupRecord setup_{};
  toolkit::SetupRecord* saved_ = nullptr;
};

}  // namespace analysis_test
