#include "viewer/response_correction.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/cp1251.h"
#include "platform/memory_budget.h"
#include "platform/output_file.h"
#include "toolkit/fft_core.h"
#include "toolkit/format_text.h"

namespace viewer {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The leading numeric part of a token; 0 when it holds none.
double TokenValue(const std::string& token) {
  const char* s = token.c_str();
  char* end = nullptr;
  const double v = std::strtod(s, &end);
  return end == s || !std::isfinite(v) ? 0.0 : v;
}

}  // namespace

std::string ResponseFileName(const toolkit::MAIN_HEADER& header) {
  return "book." + platform::Cp1251ToUtf8(std::string_view(header.Station, ::strnlen(header.Station, 3)));
}

ResponseTableRead ParseResponseTable(std::string_view text) {
  ResponseTableRead out;
  size_t at = 0;
  while (at < text.size()) {
    size_t eol = text.find('\n', at);
    if (eol == std::string_view::npos) eol = text.size();
    const std::string_view line = text.substr(at, eol - at);
    at = eol + 1;
    std::vector<std::string> tokens;
    for (size_t i = 0; i < line.size();) {
      while (i < line.size() && IsBlank(line[i])) ++i;
      const size_t from = i;
      while (i < line.size() && !IsBlank(line[i])) ++i;
      if (i > from) tokens.emplace_back(line.substr(from, i - from));
    }
    if (tokens.empty()) continue;
    if (out.table.rows.size() == kResponseMaxRows) {
      out.messages.push_back("BOOK: Больше 200 строк");
      break;
    }
    if (tokens.size() > kResponseColumns) {
      out.messages.push_back(toolkit::FormatText("BOOK: Что с длиной строки  %d", kResponseColumns));
      tokens.resize(kResponseColumns);
    }
    std::array<double, kResponseColumns> row{};
    for (size_t c = 0; c < tokens.size(); ++c) row[c] = TokenValue(tokens[c]);
    out.table.rows.push_back(row);
  }
  const auto& rows = out.table.rows;
  bool rising = rows.size() >= 3;
  for (size_t i = 1; rising && i < rows.size(); ++i) rising = rows[i][0] > rows[i - 1][0];
  if (!rising) {
    out.messages.push_back("BOOK: нужно не меньше 3 строк, частоты по возрастанию");
    out.table.rows.clear();
    return out;
  }
  out.ok = true;
  return out;
}

ResponseTableRead ReadResponseTable(const std::string& path) {
  std::FILE* f = platform::OpenForReading(path);
  if (f == nullptr) {
    ResponseTableRead out;
    out.messages.push_back("Open error!");
    return out;
  }
  std::string text;
  char block[4096];
  for (size_t got; (got = std::fread(block, 1, sizeof block, f)) > 0;) text.append(block, got);
  std::fclose(f);
  return ParseResponseTable(text);
}

double InterpolateTable(double x, const double* xs, const double* ys, int m) {
  // The three rows centred on the row nearest x: row k is nearest from half-way down to the row below
  // to half-way up to the row above.
  const auto lower = [xs](int k) { return xs[k] - (xs[k] - xs[k - 1]) / 2; };
  const auto upper = [xs](int k) { return xs[k] + (xs[k + 1] - xs[k]) / 2; };
  int j = 0;
  if (x <= xs[1]) {
    j = 0;
  } else if (x >= xs[m - 2]) {
    j = m - 3;
  } else {
    // Past the last half-way point below xs[m - 2] no k qualifies: the nearest row is then m - 2, and
    // its three rows are taken (rather than extrapolating the first three to the top of the table).
    j = m - 3;
    // The upper bounds rise with k: the first k whose upper bound reaches x is found by bisection.
    int lo = 1, hi = m - 2;  // the answer lies in [lo, hi]; hi = m - 2 stands for none
    while (lo < hi) {
      const int mid = lo + (hi - lo) / 2;
      if (x <= upper(mid)) hi = mid;
      else lo = mid + 1;
    }
    if (lo <= m - 3 && lower(lo) < x) {
      j = lo - 1;
    } else {
      // Rounding may part one row's lower bound from the previous row's upper bound: the plain search.
      for (int k = 1; k <= m - 3; ++k) {
        if (lower(k) < x && x <= upper(k)) {
          j = k - 1;
          break;
        }
      }
    }
  }
  const double x0 = xs[j], x1 = xs[j + 1], x2 = xs[j + 2];
  return ys[j] * (x - x1) * (x - x2) / ((x0 - x1) * (x0 - x2)) +
         ys[j + 1] * (x - x0) * (x - x2) / ((x1 - x0) * (x1 - x2)) +
         ys[j + 2] * (x - x0) * (x - x1) / ((x2 - x0) * (x2 - x1));
}

namespace {

bool FitsFloat(double v) { return std::isfinite(v) && std::fabs(v) <= std::numeric_limits<float>::max(); }

// The refusal of a channel whose corrected samples would not be finite (at `f` Hz, or -1 for the sum).
std::string TooSmall(int pair, double f) {
  const std::string where = f >= 0.0 ? toolkit::FormatText(" на %.4g Гц", f) : std::string();
  return toolkit::FormatText("BOOK: АЧХ канала %d слишком мала%s: исправленные отсчёты не конечны; канал не "
                             "исправлен",
                             pair, where.c_str());
}

}  // namespace

std::string CorrectResponse(float* channel, uint32_t n, double dt, const ResponseTable& table, int pair,
                            toolkit::TFunk& funk) {
  if (pair < 0 || pair >= kResponseChannels) return "не больше 6 !";
  const int m = static_cast<int>(table.rows.size());
  if (m < 3) return "BOOK: нужно не меньше 3 строк, частоты по возрастанию";
  if (n > toolkit::fft::kMaxLength)
    return toolkit::FormatText("запись длиннее %u точек - наибольшего БПФ; канал не исправлен",
                               toolkit::fft::kMaxLength);
  if (channel == nullptr || n < 9 || !(dt > 0.0)) return "мало точек для БПФ";
  std::vector<double> xs(m), amp(m), phase(m);
  for (int r = 0; r < m; ++r) {
    xs[r] = table.rows[r][0];
    amp[r] = table.rows[r][1 + 2 * pair];
    phase[r] = table.rows[r][2 + 2 * pair];
    if (!(amp[r] > 0.0))
      return toolkit::FormatText("BOOK: АЧХ канала %d не больше 0 (строка %d); канал не исправлен", pair, r + 1);
  }

  // The transform is the power of two that holds n samples, although samples 0 ... n - 2 go into it.
  const uint32_t N = toolkit::fft::NextPowerOfTwo(n);
  platform::CheckWorkingSpace(2 * (uint64_t{N} + 10) * sizeof(float));
  std::vector<float> re(N + 10, 0.0f), im(N + 10, 0.0f);
  std::copy(channel, channel + (n - 1), re.begin());
  funk.Fft(-1, static_cast<int32_t>(N), re.data(), im.data());

  const double lowF = std::floor(N * xs.front() * dt), highF = std::floor(N * xs.back() * dt);
  const uint32_t half = N / 2;
  const uint32_t low = lowF < 1.0 ? 1u : static_cast<uint32_t>(std::min<double>(lowF, half));
  const uint32_t high = highF > half - 2.0 ? half - 2 : static_cast<uint32_t>(std::max(highF, 0.0));
  auto clear = [&](uint32_t i) {
    re[i] = im[i] = 0.0f;
    if (i != 0 && i != half) re[N - i] = im[N - i] = 0.0f;
  };
  for (uint32_t i = 0; i <= half; ++i) {
    if (i < low || i >= high) {
      clear(i);
      continue;
    }
    const double f = i / (N * dt);
    const double a = InterpolateTable(f, xs.data(), amp.data(), m);
    if (!(a > 0.0) || !std::isfinite(a)) {
      clear(i);
      continue;
    }
    const double t = std::hypot(double{re[i]}, double{im[i]}) / a;
    const double F = std::atan2(double{im[i]}, double{re[i]}) - InterpolateTable(f, xs.data(), phase.data(), m);
    const double x = t * std::cos(F), y = t * std::sin(F);
    // An amplitude response so small that the corrected bin leaves the float range: nothing of the
    // channel is changed.
    if (!FitsFloat(x) || !FitsFloat(y)) return TooSmall(pair, f);
    re[i] = static_cast<float>(x);
    im[i] = static_cast<float>(y);
    re[N - i] = re[i];
    im[N - i] = -im[i];
  }
  funk.Fft(1, static_cast<int32_t>(N), re.data(), im.data());
  if (!std::all_of(re.begin(), re.begin() + (n - 1), [](float v) { return std::isfinite(v); }))
    return TooSmall(pair, -1.0);
  std::copy(re.begin(), re.begin() + (n - 1), channel);
  return {};
}

int ResponseTablePair(const toolkit::SetupRecord& s, int c) {
  const int perStation = std::max<int>(s.LoadChannels, 1);
  const int place = s.StationMode != 0 && s.SeveralStations != 0 ? c % perStation : c;
  const int entry = place >= 0 && place < toolkit::kMaxChannels ? s.ChannelMap[place] : 0;
  return std::min<int>(entry, std::max<int>(s.Header.Channels, 1) - 1);
}

std::string ResponseNotice(const std::string& station3, const std::string& path) {
  return "Только для одной станции!  \nКаналы ТОЛЬКО по порядку. \n"
         "\n  В файлах BOOK." + station3 + " по: "
         "\n                              13 столбцов"
         "\n                              не более 200 строк\n"
         "\n  прямое FFT. Находим  Ar[f] + i* Ai[f]"
         "\n  убиваем гармоники Ar[f] и Ai[f] вне"
         "\n  интервала частот  BOOK." + station3 +
         "\n  t =  sqrt [ Ai[f] * Ai[f] + Ar[f] * Ar[f] ] * exp ( iF )"
         "\n  F = arctg [ Ai[f] / Ar[f] ]"
         "\n  Ai[f] = t * sin [F - ФЧХ ( f )] / AЧХ ( f )"
         "\n  Ar[f] = t * cos [F - ФЧХ ( f )] / AЧХ ( f )"
         "\n  обратное FFT. "
         "\n\nпользуемся файлом  " + path;
}

}  // namespace viewer
