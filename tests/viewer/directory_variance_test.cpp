// The directory variance against a Python reading of the same files.
#include "viewer/directory_variance.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

#include "support/temp_dir.h"
#include "toolkit/python_reference.h"
#include "viewer/recording_builder.h"

namespace {

using toolkit::SetupRecord;
using viewer_test::FilePlan;
using viewer_test::kTicks2001;

constexpr int64_t kTicksPerMinute = int64_t{60} * 256'000'000;

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream t;
  t << in.rdbuf();
  return t.str();
}

// Tokens split at blanks and ';'; numbers compared relative 2e-3, other tokens equal.
void ExpectSameText(const std::string& got, const std::string& want) {
  auto tokens = [](std::string s) {
    for (char& c : s)
      if (c == ';') c = ' ';
    std::istringstream in(s);
    std::vector<std::string> out;
    for (std::string t; in >> t;) out.push_back(t);
    return out;
  };
  const auto a = tokens(got), b = tokens(want);
  ASSERT_EQ(a.size(), b.size()) << got << "\n----\n" << want;
  for (size_t i = 0; i < a.size(); ++i) {
    char* endA = nullptr;
    char* endB = nullptr;
    const double x = std::strtod(a[i].c_str(), &endA), y = std::strtod(b[i].c_str(), &endB);
    if (*endA == 0 && *endB == 0 && endA != a[i].c_str()) {
      EXPECT_NEAR(x, y, 2e-3 * std::max(std::fabs(y), 1e-9)) << i << ": " << a[i] << " / " << b[i];
    } else {
      EXPECT_EQ(a[i], b[i]) << i;
    }
  }
}

class VarianceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    toolkit::SetSetupDefaults(*s, dir.path() + "/");
    s->Header.Channels = 2;
    s->Header.Format = 60;
    s->Header.Bits = 24;
    s->Header.Rate = 50;
    s->Header.dt = 0.02;
    toolkit::SetFieldText(s->Header.Station, "st1");
    s->HistogramRmsMinutes = 1;  // W = 3000 samples
    s->UseCoefficients = 1;
  }
  support::TempDir dir;
  std::unique_ptr<SetupRecord> s = std::make_unique<SetupRecord>();
};

TEST_F(VarianceTest, MeansAndWindowsMatchAPythonReading) {
  // Name order differs from time order. Tails of 600 frames (W / 5: "остаток") and 601 (a partial line).
  struct Plan {
    const char* name;
    int minute;
    uint32_t frames;
  } plans[] = {{"e.dat", 0, 6600}, {"a.dat", 30, 3601}, {"d.dat", 10, 3000}, {"b.dat", 50, 7500}, {"c.dat", 20, 50}};
  int index = 0;
  for (const Plan& p : plans) {
    FilePlan f;
    f.channels = 2;
    f.rate = 50;
    f.frames = p.frames;
    f.coefs = {0.5, 2.0};
    f.startTicks = kTicks2001 + p.minute * kTicksPerMinute;
    const int k = index++;
    viewer_test::WriteRecording(dir.File(p.name), f, [k](int c, uint32_t n) {
      return static_cast<int32_t>((c + 1) * 1000 + ((n * 7919 + k * 31) % 997) * (c ? -3 : 5));
    });
  }
  FilePlan foreign;
  foreign.channels = 2;
  foreign.rate = 50;
  foreign.frames = 700;
  foreign.station = "zz";
  viewer_test::WriteRecording(dir.File("f_station.dat"), foreign, [](int, uint32_t) { return 99999; });
  foreign.station = "st1";
  foreign.rate = 100;
  viewer_test::WriteRecording(dir.File("g_rate.dat"), foreign, [](int, uint32_t) { return 99999; });
  // A replacement killed midway left a whole-looking temporary of the station: no recording.
  foreign.rate = 50;
  viewer_test::WriteRecording(dir.File(".qtmpZq0PDx"), foreign, [](int, uint32_t) { return 99999; });
  std::filesystem::create_symlink("b.dat", dir.File("h_linked.dat"));  // a link is not followed

  int lastPosition = -1, lastMaximum = 0;
  const auto out = viewer::DirectoryVariance(*s, dir.path(), [&](int p, int m) { lastPosition = p, lastMaximum = m; });
  ASSERT_TRUE(out.written) << (out.messages.empty() ? "" : out.messages[0]);
  EXPECT_TRUE(out.messages.empty());
  EXPECT_EQ(lastMaximum, 5);
  EXPECT_EQ(lastPosition, 4);

  const auto ref = toolkit_test::RunPython("variance", "import os, struct, numpy as np\nd = '" + dir.path() + "'\n" + R"(
files = []
for name in sorted(os.listdir(d)):
    if name.startswith('.qtmp') or os.path.islink(os.path.join(d, name)): continue
    b = open(os.path.join(d, name), 'rb').read()
    ch, fmt, rate = struct.unpack_from('<H', b, 0)[0], struct.unpack_from('<H', b, 4)[0], struct.unpack_from('<H', b, 22)[0]
    st = b[32:48].split(b'\0')[0]
    if len(b) < 120 or ch != 2 or rate != 50 or st != b'st1': continue
    coef = [struct.unpack_from('<d', b, 120 + 72 * c + 56)[0] for c in range(ch)]
    start = struct.unpack_from('<q', b, 104)[0] / 256e6 / 86400
    n = (len(b) - 120 - 72 * ch) // (4 * ch)
    x = np.frombuffer(b, dtype='<i4', offset=120 + 72 * ch, count=n * ch).reshape(n, ch) * np.array(coef)
    files.append((start, name, x))
total = np.concatenate([f[2] for f in files])
mean = total.mean(axis=0)
W = 3000
out = 'файлов %d\n среднее _ _ _ / ' % len(files) + ''.join('  %.5e' % m for m in mean)
out += '\nокно %d минут (%d точек)\n\n\n' % (1, W)
files.sort(key=lambda f: f[0])
t0 = files[0][0]
for start, name, x in files:
    d2 = (x - mean) ** 2
    whole = len(x) // W
    for k in range(whole):
        t = ((k / 1440 + start) - t0) * 86400 / 60
        out += '\n%06.1f; 100%%; ' % t + ''.join(' %.3e;' % v for v in np.sqrt(d2[k * W:(k + 1) * W].mean(axis=0)))
        if k == 0:
            import datetime
            out += '; %s; %s;' % ((datetime.datetime(1899, 12, 30) + datetime.timedelta(seconds=round(start * 86400) + 2524694400)).strftime('%d.%m.%Y %H:%M:%S'), name)
    rest = len(x) - whole * W
    if rest <= W // 5:
        out += '  * остаток %d точек\n' % rest
    else:
        t = ((whole / 1440 + start) - t0) * 86400 / 60
        out += '\n%06.1f; %03d%%; ' % (t, rest * 100 // W) + ''.join(' %.3e;' % v for v in np.sqrt(d2[whole * W:].mean(axis=0)))
print(out)
)");
  ASSERT_FALSE(ref.empty());
  std::string want;
  for (const auto& l : ref) want += l + "\n";
  const std::string got = ReadText(dir.File(viewer::kDirectoryVarianceFile));
  ExpectSameText(got, want);
  EXPECT_NE(got.find("  * остаток 600 точек"), std::string::npos);
  EXPECT_NE(got.find("; 020%; "), std::string::npos);
  EXPECT_NE(got.find("; 01.01.2001 00:30:00; a.dat;"), std::string::npos);
  // A file name enters the text as one line of UTF-8: a newline blanked, Windows-1251 "а" converted.
  std::filesystem::rename(dir.File("a.dat"), dir.File("a\n\xE0.dat"));
  ASSERT_TRUE(viewer::DirectoryVariance(*s, dir.path(), nullptr).written);
  EXPECT_NE(ReadText(dir.File(viewer::kDirectoryVarianceFile)).find("; 01.01.2001 00:30:00; a а.dat;\n"),
            std::string::npos);

  // A link planted at the result's name is not written through.
  std::filesystem::remove(dir.File(viewer::kDirectoryVarianceFile));
  std::ofstream(dir.File("target.txt")) << "precious";
  std::filesystem::create_symlink(dir.File("target.txt"), dir.File(viewer::kDirectoryVarianceFile));
  EXPECT_FALSE(viewer::DirectoryVariance(*s, dir.path(), nullptr).written);
  EXPECT_EQ(ReadText(dir.File("target.txt")), "precious");
}

TEST_F(VarianceTest, WindowUnderOneSampleOrNoMatchingFileWritesNothing) {
  FilePlan f;
  f.channels = 2;
  f.rate = 50;
  f.frames = 100;
  f.station = "other";
  viewer_test::WriteRecording(dir.File("x.dat"), f, [](int, uint32_t) { return 1; });
  // A file of the station whose coefficient is not a number is passed over like a foreign one.
  f.station = "st1";
  f.coefs = {1.0, NAN};
  viewer_test::WriteRecording(dir.File("nan.dat"), f, [](int, uint32_t) { return 1; });
  auto out = viewer::DirectoryVariance(*s, dir.path(), nullptr);
  EXPECT_FALSE(out.written);
  ASSERT_EQ(out.messages.size(), 1u);
  EXPECT_NE(out.messages[0].find("подходящих файлов нет"), std::string::npos);

  s->HistogramRmsMinutes = 0;
  out = viewer::DirectoryVariance(*s, dir.path(), nullptr);
  EXPECT_FALSE(out.written);
  ASSERT_EQ(out.messages.size(), 1u);
  EXPECT_NE(out.messages[0].find("окно 0 минут"), std::string::npos);
  EXPECT_FALSE(std::ifstream(dir.File(viewer::kDirectoryVarianceFile)).good());
}

}  // namespace
