// The end-of-download report: what counts as complete and how long lists are cut.
#include "acquisition/download_report.h"

#include <gtest/gtest.h>

namespace acquisition {
namespace {

TEST(DownloadReport, AnythingMissingMakesItIncompleteAndLongListsAreCounted) {
  DownloadReport r;
  r.Files = {{"a", ""}, {"b", ""}};
  EXPECT_TRUE(r.Complete());
  const auto incomplete = [](auto change) {
    DownloadReport c;
    c.Files = {{"a", ""}};
    change(c);
    return !c.Complete();
  };
  EXPECT_TRUE(incomplete([](DownloadReport& c) { c.EndReason = "x"; }));
  EXPECT_TRUE(incomplete([](DownloadReport& c) { c.Lost = {7}; }));
  EXPECT_TRUE(incomplete([](DownloadReport& c) { c.Files[0].UnitSetup = true; }));
  EXPECT_TRUE(incomplete([](DownloadReport& c) { c.NotRead = {"стр. 1..2"}; }));
  EXPECT_TRUE(incomplete([](DownloadReport& c) { c.Files[0].CutReason = "стр. 5 не принята"; }));

  for (int i = 0; i < 23; ++i) r.NotRead.push_back("файл " + std::to_string(i));
  r.Files[1].CutReason = "до стр. 9";
  r.Lost = {5, 7, 8, 9};
  const std::string text = DownloadReportText(r);
  EXPECT_NE(text.find("\nНе принято страниц: 4 (подробно в логе): 5, 7..9."), std::string::npos) << text;
  EXPECT_EQ(text.rfind("Чтение закончено, но принято не всё.\n\nПолные файлы: 1\n   a\nНеполные файлы: 1\n"
                       "   b: до стр. 9\nНе прочитаны:\n   файл 0\n",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("   файл 19\n   ... и ещё 3"), std::string::npos) << text;
  EXPECT_EQ(text.find("файл 20"), std::string::npos);
}

}  // namespace
}  // namespace acquisition
