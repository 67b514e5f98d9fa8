#pragma once
// Spectra over intervals: windowed FFTs of successive overlapping intervals of a selection, averaged as
// power (the result is the RMS amplitude per bin), one interval at a time so that a window can draw
// each while the computation runs.
#include <cstdint>
#include <vector>

#include "analysis/spectrum_buffers.h"

namespace analysis {

struct IntervalSpectrumInput {
  const float* x = nullptr;  // channel samples; x[Nn] .. x[Nk - 1] are read
  int32_t Nn = 0;
  int32_t Nk = 0;
  int32_t N = 4096;  // power of two, 64 .. 65536
  int32_t shift = 256;  // at least 1
  uint16_t windowType = 1;
};

class IntervalSpectrum {
 public:
  // Clears the spectrum and the 500 interval spectra of `out` and sets its length, window and count.
  IntervalSpectrum(SpectrumBuffers& out, const IntervalSpectrumInput& in);

  // True while another interval is due: the next one fits the selection, or none was done yet (a
  // selection shorter than N gives one zero-padded interval).
  bool More() const { return static_cast<int64_t>(start_) + in_.N <= in_.Nk || out_.IntervalCount == 0; }
  // Computes the next interval; its amplitudes sqrt(P) of bins 0 .. N/2-1 are then in Amplitudes().
  void Next();
  const std::vector<float>& Amplitudes();
  // The largest amplitude of the last interval over bins 0 .. last (bin 0 counted half).
  float LargestAmplitude(int32_t last) const;
  // First sample of the interval Next computed last.
  int32_t IntervalStart() const { return lastStart_; }
  // Intervals the selection holds: the progress bar's total.
  int32_t Total() const { return total_; }
  // Writes the RMS amplitudes into WorkBuffer; returns the sample after the last interval.
  int32_t Finish();

 private:
  // Windowed samples of the interval from p, zero beyond Nk.
  void Fill(int32_t p, float* dst) const;
  // Counts the interval whose power is in power_ and keeps its cells among the first 500.
  void Count();

  SpectrumBuffers& out_;
  IntervalSpectrumInput in_;
  int32_t half_;
  int32_t cell_;
  int32_t total_;
  double norm_;
  int32_t start_;
  int32_t lastStart_ = 0;
  std::vector<float> window_, re_, im_;
  std::vector<double> sum_;     // power summed over the intervals
  std::vector<double> power_;   // power of the last interval (squares of float amplitudes overflow float)
  std::vector<double> pendingPower_;  // power of the second interval of a shared transform
  std::vector<float> amplitude_;  // its square roots, taken when asked for
  bool amplitudeValid_ = false;
  // Two real intervals share one complex transform; the second waits here.
  bool pending_ = false;
  int32_t pendingStart_ = 0;
};

// The magnitudes |X_k|, k < count, of the n-point DFT of data[0 .. n-1], n any length from 2 on,
// computed exactly in double (chirp-z through power-of-two transforms).
std::vector<double> DftMagnitudes(const std::vector<double>& data, int32_t count);

// One windowed direct transform of N samples from `start` (zero beyond Nk): WorkBuffer[k] for
// k < N/2 (bin 0 halved, so a constant reads its value); sets N, IntervalCount 0 and the window.
// Returns the largest amplitude.
float ComputeSingleSpectrum(const float* x, int32_t start, int32_t Nk, int32_t N, uint16_t windowType,
                            SpectrumBuffers& out);

}  // namespace analysis
