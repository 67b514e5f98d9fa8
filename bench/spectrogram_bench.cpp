// F(f,t): 500 intervals x 510 cells coloured into the offscreen spectrum window (target under 50 ms),
// next to the plain drawing of the same cells in fixed colours into an image of the same size.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QImage>
#include <QPainter>

#include "bench/offscreen_app.h"
#include "analysis/ui/spectrum_form.h"
#include "platform/ui/ui_script.h"
#include "toolkit/setup_record.h"

namespace {

void BM_ColourMapDrawn(benchmark::State& state) {
  bench::OffscreenApp();
  platform::ui::UiScript script;
  script.SetScreenSize(QSize(1920, 1080));
  platform::ui::InstallScript(&script);
  toolkit::SetupRecord setup;
  toolkit::SetSetupDefaults(setup, "/tmp/");
  toolkit::Setup = &setup;
  setup.SpectrumLastBin = 1023;
  {
    analysis::TForm_spek form;
    form.FormShow();
    form.Buffers.N = 2048;
    form.Buffers.IntervalCount = 500;
    uint32_t s = 1;
    for (auto& row : form.Buffers.Spectra)
      for (int c = 0; c < 512; ++c) row[c] = static_cast<float>((s = s * 1664525u + 1013904223u) >> 8) * 1e-7f;
    for (auto _ : state) form.Fft1Click();
    state.counters["cells"] = 500.0 * 510;
  }
  toolkit::Setup = nullptr;
  platform::ui::InstallScript(nullptr);
}
BENCHMARK(BM_ColourMapDrawn)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: the same 500 x 510 cells of 2 x 1 pixels filled in cycling colours, no levels computed.
void BM_PlainCellFill(benchmark::State& state) {
  bench::OffscreenApp();
  QImage image(1800, 900, QImage::Format_RGB32);
  for (auto _ : state) {
    image.fill(Qt::black);
    QPainter p(&image);
    for (int t = 0; t < 500; ++t)
      for (int c = 0; c < 510; ++c) p.fillRect(c * 2, t, 2, 1, QColor::fromRgb(((c + t) % 12) * 0x151515));
    benchmark::DoNotOptimize(image.bits());
  }
}
BENCHMARK(BM_PlainCellFill)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
