#include "analysis/data_window.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/cp1251.h"

namespace analysis {

namespace {
// Windows-1251 names; the Latin letters are those the window list has always shown.
constexpr const char* kNames[4] = {
    "\xEF" "p" "\xFF\xEC\xEE\xF3\xE3\xEE\xEB\xFC\xED\xEE\xE5 \xEE\xEA\xED\xEE",  // пpямоугольное окно
    "\xEE\xEA\xED\xEE \xF5\xE0\xED\xED\xE0    ",                                    // окно ханна
    "\xEE\xEA\xED\xEE \xF5\xE5" "m" "\xEC\xE8\xED\xE3\xE0 ",                          // окно хеmминга
    "\xEE\xEA\xED\xEE \xC1\xEB\xFD\xEA\xEC\xE0\xED\xE0 ",                            // окно Блэкмана
};
constexpr double kBlackmanHarrisPower = 0.257963599095;
}  // namespace

double ApplySpectrumWindow(uint16_t windowType, float* w, int32_t n, DataWindowInfo& info) {
  const int type = windowType <= 3 ? windowType : 0;
  std::memset(info.WindowName, 0, sizeof info.WindowName);
  std::memcpy(info.WindowName, kNames[type], std::strlen(kNames[type]));
  const double x = 2.0 * std::numbers::pi / n;
  double power = 0.0;
  if (type == 3) {
    info.WindowParameter = 1111.0;
    for (int32_t k = 0; k < n; ++k) {
      const double a = k * x;
      w[k] = static_cast<float>(0.35875 - 0.48829 * std::cos(a) + 0.14128 * std::cos(2 * a) -
                                0.01168 * std::cos(3 * a));
    }
    power = kBlackmanHarrisPower;
  } else {
    const double alpha = type == 0 ? 1.0 : type == 1 ? 0.5 : 0.54;
    info.WindowParameter = alpha;
    for (int32_t k = 0; k < n; ++k) w[k] = static_cast<float>(alpha - (1.0 - alpha) * std::cos(k * x));
    power = alpha * alpha + 0.5 * (1.0 - alpha) * (1.0 - alpha);
  }
  return 4.0 / (static_cast<double>(n) * n * power);
}

std::string WindowNameText(const DataWindowInfo& info) { return platform::FieldToUtf8(info.WindowName); }

}  // namespace analysis
