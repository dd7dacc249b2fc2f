// The window's page backgrounds painted into a memory DC.
#include "skin/page_background.h"

#include <gtest/gtest.h>

#include "tests/win/support/dib_canvas.h"

namespace {

constexpr COLORREF kBandBlue = RGB(0x49, 0x9E, 0xDE);
constexpr COLORREF kGreyFill = RGB(0xF5, 0xF5, 0xF5);
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kUnpainted = RGB(0xFF, 0x00, 0xFF);
constexpr int kWidth = 578, kHeight = 398;

struct Expect {
  int x, y;
  COLORREF colour;
};

void ExpectPixels(const DibCanvas& canvas, std::initializer_list<Expect> expected) {
  for (const Expect& e : expected) {
    EXPECT_PRED3(NearColour, canvas.At(e.x, e.y), e.colour, 2) << "at " << e.x << "," << e.y;
  }
}

class PageBackgroundTest : public ::testing::Test {
 protected:
  void SetUp() override { background_.LoadImages(); }
  CPageBackground background_;
};

// Points in the band are chosen clear of the artwork's texts and streaks, including the band's
// last row, which must not fade into what lay there before.
TEST_F(PageBackgroundTest, SetupAndFinishPagesHaveTheBandTo274AndGreyBelow) {
  for (int page : {CPageBackground::kSetup, CPageBackground::kFinish}) {
    SCOPED_TRACE(page);
    DibCanvas canvas(kWidth, kHeight, kUnpainted);
    background_.Paint(canvas.dc(), page, kWidth, kHeight);
    ExpectPixels(canvas, {{40, 270, kBandBlue}, {560, 268, kBandBlue}, {260, 273, kBandBlue},
                          {0, 274, kGreyFill}, {300, 274, kGreyFill}, {kWidth - 1, kHeight - 1, kGreyFill}});
  }
}

TEST_F(PageBackgroundTest, ProgressPageHasTheBandTo260AndWhiteBelow) {
  DibCanvas canvas(kWidth, kHeight, kUnpainted);
  background_.Paint(canvas.dc(), CPageBackground::kProgress, kWidth, kHeight);
  ExpectPixels(canvas, {{10, 250, kBandBlue}, {560, 120, kBandBlue}, {300, 259, kBandBlue},
                        {0, 260, kWhite}, {300, 300, kWhite}, {kWidth - 1, kHeight - 1, kWhite}});
}

TEST_F(PageBackgroundTest, TheBandIsDrawn580WideWhateverTheClientWidth) {
  DibCanvas canvas(600, 300, kUnpainted);
  background_.Paint(canvas.dc(), CPageBackground::kProgress, 500, 300);
  EXPECT_PRED3(NearColour, canvas.At(578, 250), kBandBlue, 2);
  EXPECT_EQ(canvas.At(581, 250), kUnpainted);
  // The fill covers only the client width.
  EXPECT_EQ(canvas.At(300, 270), kWhite);
  EXPECT_EQ(canvas.At(520, 270), kUnpainted);
}

TEST(PageBackground, WithoutItsImagesAPageGetsOnlyItsFill) {
  CPageBackground empty;
  DibCanvas canvas(kWidth, kHeight, kUnpainted);
  empty.Paint(canvas.dc(), CPageBackground::kSetup, kWidth, kHeight);
  EXPECT_EQ(canvas.At(300, 100), kUnpainted);
  EXPECT_EQ(canvas.At(300, 300), kGreyFill);
}

TEST_F(PageBackgroundTest, AnUnknownPagePaintsNothing) {
  DibCanvas canvas(kWidth, kHeight, kUnpainted);
  background_.Paint(canvas.dc(), 3, kWidth, kHeight);
  background_.Paint(canvas.dc(), -1, kWidth, kHeight);
  EXPECT_EQ(canvas.At(300, 100), kUnpainted);
  EXPECT_EQ(canvas.At(300, 300), kUnpainted);
}

}  // namespace
