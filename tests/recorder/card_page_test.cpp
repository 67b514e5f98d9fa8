#include "recorder/card_page.h"

#include <gtest/gtest.h>

#include <map>

#include "card_bytes.h"
#include "recorder/page_range_check.h"

namespace recorder {
namespace {

constexpr uint32_t kT0 = 1'394'541'000;  // 15.03.24 12:30:00
constexpr uint64_t kT0From1899 = kT0 + 2'525'126'400ull;

TEST(CardPage, DataHeaderDerivedValues) {
  card_bytes::DataPageSpec s;
  s.Channels = 3;
  s.Position = 100;
  s.Second = kT0;
  s.Serial = 0x1234;
  s.File = 7;
  s.Values = 150;
  s.H12 = 1;
  s.H13 = 2;
  const auto page = card_bytes::DataPage(s);
  EXPECT_TRUE(CardPageSumGood(page));
  EXPECT_EQ(KindOfCardPage(page), CardPageKind::Data);
  const auto h = DecodeDataPageHeader(page, 2, 4800);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->Channels, 3u);
  EXPECT_EQ(h->Decimation, 6u);
  EXPECT_EQ(h->OutputRate, 800u);
  EXPECT_EQ(h->Span, 300u);
  EXPECT_EQ(h->Position, kT0From1899 * 4800 + 600);
  EXPECT_EQ(h->Raw.Serial, 0x1234);
  EXPECT_EQ(h->Raw.FileNumber, 7);
  // Fraction: 100 x 6 x (100000 / 4800 = 20).
  EXPECT_EQ(h->TimeText(), "15.03.24 12:30:00,12000");
}

TEST(CardPage, BadHeadersAreRefusedBeforeAnyDivision) {
  card_bytes::DataPageSpec s;
  s.Second = kT0;
  const auto good = card_bytes::DataPage(s);
  HeaderFault fault = HeaderFault::None;
  ASSERT_TRUE(DecodeDataPageHeader(good, 2, 1000, &fault));

  auto broken = good;
  broken[5] ^= 1;
  EXPECT_FALSE(DecodeDataPageHeader(broken, 2, 1000, &fault));
  EXPECT_EQ(fault, HeaderFault::Sum);

  auto plan = [&](auto change) {
    card_bytes::DataPageSpec t = s;
    change(t);
    return card_bytes::DataPage(t);
  };
  EXPECT_FALSE(DecodeDataPageHeader(plan([](auto& t) {
                                      t.Channels = 4;
                                      t.Values = 100;
                                    }),
                                    2, 1000, &fault));
  EXPECT_EQ(fault, HeaderFault::Channels);  // more than the recorder has
  EXPECT_FALSE(DecodeDataPageHeader(plan([](auto& t) {
                                      t.Channels = 9;
                                      t.Values = 18;
                                    }),
                                    20, 1000, &fault));
  EXPECT_EQ(fault, HeaderFault::Channels);  // more than 8
  EXPECT_FALSE(DecodeDataPageHeader(plan([](auto& t) { t.Values = 0; }), 2, 1000, &fault));
  EXPECT_EQ(fault, HeaderFault::Values);
  EXPECT_FALSE(DecodeDataPageHeader(plan([](auto& t) {
                                      t.Channels = 4;
                                      t.Values = 168;
                                    }),
                                    7, 1000, &fault));
  EXPECT_EQ(fault, HeaderFault::Values);  // does not fit in the page
  EXPECT_FALSE(DecodeDataPageHeader(good, 2, 0, &fault));
  EXPECT_EQ(fault, HeaderFault::SampleClock);
  // Decimation 16 x 16 of a 200 Hz clock leaves no output rate.
  const auto slow = plan([](auto& t) {
    t.H12 = 15;
    t.H13 = 15;
  });
  EXPECT_FALSE(DecodeDataPageHeader(slow, 2, 200, &fault));
  EXPECT_EQ(fault, HeaderFault::Rate);
  EXPECT_EQ(HeaderFaultText(fault, slow, 200), "200 Гц / децимация 256: частота 0");
  EXPECT_TRUE(DecodeDataPageHeader(slow, 2, 256, &fault));
  EXPECT_FALSE(DecodeDataPageHeader(std::span(good).first(15), 2, 1000, &fault));
  EXPECT_EQ(fault, HeaderFault::Short);
}

TEST(CardPage, OnlyTheRulesOfTheLayoutRefuseAHeader) {
  // Taken: a count that is not a multiple of the channels (its whole frames count), any byte 0, 14, 15.
  struct Case {
    const char* what;
    unsigned channels;
    uint8_t values;
    uint8_t byte14;
    unsigned span;  // ticks at decimation 1
  };
  const Case taken[] = {
      {"values not whole frames", 3, 100, 0x07, 33},
      {"mask of other channels", 2, 164, 0xF0, 82},
      {"empty mask", 2, 164, 0x00, 82},
      {"one value", 8, 1, 0xFF, 0},
      {"the most values", 1, 165, 0x01, 165},
  };
  for (const Case& c : taken) {
    SCOPED_TRACE(c.what);
    card_bytes::DataPageSpec s;
    s.Channels = c.channels;
    s.Values = c.values;
    s.Mask = c.byte14;
    const auto h = DecodeDataPageHeader(card_bytes::DataPage(s), 7, 1000);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->Span, c.span);
  }
  // Refused, each with its own reason.
  struct Refusal {
    unsigned channels;
    uint8_t values;
    HeaderFault fault;
    const char* text;
  };
  const Refusal refused[] = {
      {9, 18, HeaderFault::Channels, "каналов 9"},
      {2, 0, HeaderFault::Values, "отсчётов 0"},
      {1, 166, HeaderFault::Values, "отсчётов 166"},
  };
  for (const Refusal& c : refused) {
    SCOPED_TRACE(c.text);
    card_bytes::DataPageSpec s;
    s.Channels = c.channels;
    s.Values = c.values;
    const auto page = card_bytes::DataPage(s);
    HeaderFault fault = HeaderFault::None;
    EXPECT_FALSE(DecodeDataPageHeader(page, 7, 1000, &fault));
    EXPECT_EQ(fault, c.fault);
    EXPECT_EQ(HeaderFaultText(fault, page, 1000), c.text);
  }
}

TEST(CardPage, PositionAndTimeTextRunPast2036) {
  // GPS second 4,000,000,000 is 2106-10-08; seconds since 1899 exceed 2^32 from 2036 on.
  card_bytes::DataPageSpec s;
  s.Second = 4'000'000'000u;
  s.Position = 10;
  const auto h = DecodeDataPageHeader(card_bytes::DataPage(s), 2, 1000);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->Position, (4'000'000'000ull + 2'525'126'400ull) * 1000 + 10);
  EXPECT_EQ(h->TimeText(), "08.10.06 07:06:40,01000");
}

TEST(CardPage, KindsAndSetupCopy) {
  const auto setup = card_bytes::SetupCopy(6, 250);
  EXPECT_TRUE(CardPageSumGood(setup));
  EXPECT_EQ(KindOfCardPage(setup), CardPageKind::SetupCopy);
  const auto info = ReadSetupCopy(setup);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Channels, 6u);
  EXPECT_EQ(info->Rate, 250u);
  auto fat = setup;
  fat[0] = 0x63;
  EXPECT_EQ(KindOfCardPage(fat), CardPageKind::Fat);
  EXPECT_FALSE(CardPageSumGood(fat));
  EXPECT_FALSE(CardPageSumGood(std::span(setup).first(511)));
}

// Pages of one recording written without a gap: 3 channels, 150 values (50 samples) a page at 1000 Hz.
class PageRange : public ::testing::Test, public CardPageSource {
 protected:
  void Drain() override { ++drains; }
  std::optional<std::array<uint8_t, kCardPageSize>> ReadPage(uint32_t page, std::string& log) override {
    reads.push_back(page);
    const auto it = card.find(page);
    if (it == card.end()) {
      log = "чтение стр. k\n Нет ответа\n";
      return std::nullopt;
    }
    return it->second;
  }

  void Recording(uint32_t first, uint32_t count, uint32_t gapAfter = ~0u) {
    for (uint32_t k = 0; k < count; ++k) {
      const uint64_t sample = 50ull * k + (k > gapAfter ? 1000 : 0);
      card_bytes::DataPageSpec s;
      s.Second = kT0 + static_cast<uint32_t>(sample / 1000);
      s.Position = static_cast<uint16_t>(sample % 1000);
      s.Serial = static_cast<uint16_t>(k);
      card[first + k] = card_bytes::DataPage(s);
    }
  }

  PageRangeResult Check(double begin, double end) {
    PageRangeInput in;
    in.TypedBegin = begin;
    in.TypedEnd = end;
    in.FCmax = 10;  // 40,000 pages
    in.StatusChannels = 2;
    in.SampleClock = 1000;
    return CheckPageRange(in, *this);
  }

  std::map<uint32_t, card_bytes::Page> card;
  std::vector<uint32_t> reads;
  int drains = 0;
};

TEST_F(PageRange, ContiguousPagesMatchAndAGapDoesNot) {
  Recording(20000, 10);
  const auto r = Check(20000.7, 20009);
  EXPECT_FALSE(r.Refused);
  EXPECT_EQ(r.BegPage, 20000u);
  EXPECT_EQ(r.EndPage, 20009u);
  EXPECT_EQ(drains, 2);
  EXPECT_TRUE(r.Messages.empty());
  EXPECT_EQ(r.StatusText,
            "ф 1: 1000Гц; к 3; 15.03.24 12:30:00,00000;   // 15.03.24 12:30:00,45000   0.5000сек на 10стр.;  "
            "20009");

  card.clear();
  Recording(20000, 10, 4);
  EXPECT_EQ(Check(20000, 20009).StatusText,
            "ф 1: 1000Гц; к 3; 15.03.24 12:30:00,00000;   // 15.03.24 12:30:01,45000; Tбл=0.0500; Не "
            "сходится время! ;  "
            "20009");

  // Pages holding fewer values than channels span no time: their times cannot agree (and nothing
  // divides by their span).
  card_bytes::DataPageSpec partial;
  partial.Second = kT0;
  partial.Values = 2;
  card[30000] = card_bytes::DataPage(partial);
  card[30001] = card_bytes::DataPage(partial);
  EXPECT_EQ(Check(30000, 30001).StatusText,
            "ф 1: 1000Гц; к 3; 15.03.24 12:30:00,00000;   // 15.03.24 12:30:00,00000; Tбл=0.0000; Не "
            "сходится время! ;  30001");
}

TEST_F(PageRange, OtherFilesSetupCopiesAndMissingHeaders) {
  Recording(20000, 10);
  card[19999] = card_bytes::SetupCopy(3, 1000);
  // A setup copy at the begin keeps a header of 0xFF bytes: every good end header is another one.
  EXPECT_EQ(
      Check(19999, 20009).StatusText,
      "Setup на стр. 19999:  1000 Гц; к 3;  // другой! ф 1: 1000Гц; к 3; 15.03.24 12:30:00,45000;  20009");
  card_bytes::DataPageSpec other;
  other.File = 2;
  other.Second = kT0 + 100;
  card[20010] = card_bytes::DataPage(other);
  EXPECT_NE(
      Check(20000, 20010).StatusText.find(" // другой! ф 2: 1000Гц; к 3; 15.03.24 12:31:40,00000;  20010"),
      std::string::npos);
  card[20011] = card_bytes::SetupCopy(3, 500);
  EXPECT_EQ(Check(20000, 20011).StatusText,
            "ф 1: 1000Гц; к 3; 15.03.24 12:30:00,00000;  Setup на стр. 20011:  500 Гц; к 3; ;  20011");
  card[20012].fill(0xFF);
  EXPECT_EQ(Check(20000, 20012).StatusText,
            "ф 1: 1000Гц; к 3; 15.03.24 12:30:00,00000;  ;  Нет заголовка на стр. 20012");

  // A bad begin header is dumped and nothing more is read.
  reads.clear();
  const auto bad = Check(20012, 20000);
  EXPECT_EQ(bad.StatusText, "стр. 20012:   FF  FF  FF  FF  FF  FF  FF  FF  FF  FF  FF  FF  FF  FF  FF  FF");
  EXPECT_EQ(reads, std::vector<uint32_t>{20012});
}

TEST_F(PageRange, TypedPagesOutsideTheCard) {
  Recording(39990, 10);
  // FCmax x 4000 itself may be typed as the begin page; one more is refused, naming FCmax x 4000.
  auto r = Check(40000, 39999);
  EXPECT_FALSE(r.Refused);
  EXPECT_EQ(r.BegPage, 40000u);
  EXPECT_EQ(reads, (std::vector<uint32_t>{40000}));
  reads.clear();
  r = Check(40001, 39999);
  EXPECT_TRUE(r.Refused);
  ASSERT_EQ(r.Messages.size(), 1u);
  EXPECT_EQ(r.Messages[0].Text, "Max сектор карты 40000 ");
  EXPECT_EQ(r.Messages[0].Title, "Error");
  EXPECT_FALSE(r.BegPage);
  EXPECT_TRUE(reads.empty());

  r = Check(-1, 39999);
  EXPECT_TRUE(r.Refused);
  EXPECT_TRUE(reads.empty());

  r = Check(39990, 1e9);  // the end is cut to the card's last page
  EXPECT_FALSE(r.Refused);
  EXPECT_EQ(r.EndPage, 39999u);
  EXPECT_NE(r.StatusText.find("на 10стр.;  39999"), std::string::npos);

  r = Check(39990, -5);
  EXPECT_TRUE(r.Refused);
  EXPECT_FALSE(r.EndPage);
}

TEST_F(PageRange, PagesThatDoNotArriveAreNotDecoded) {
  Recording(20000, 2);
  auto r = Check(30000, 20001);
  EXPECT_EQ(r.StatusText, "стр. 30000: нет ответа; чтение стр. k\n Нет ответа\n");
  EXPECT_EQ(reads, std::vector<uint32_t>{30000});

  r = Check(20000, 30000);
  EXPECT_EQ(
      r.StatusText,
      "ф 1: 1000Гц; к 3; 15.03.24 12:30:00,00000;  ;  стр. 30000: нет ответа; чтение стр. k\n Нет ответа\n");

  // A page whose sum fails but whose header holds: "ks!" and the check goes on.
  card[20000][300] ^= 0x40;
  r = Check(20000, 20001);
  ASSERT_EQ(r.Messages.size(), 1u);
  EXPECT_EQ(r.Messages[0].Text, "ks!");
  EXPECT_NE(r.StatusText.find("на 2стр."), std::string::npos);
}

}  // namespace
}  // namespace recorder
