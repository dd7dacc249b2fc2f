// GDI+ for every Windows test, started once as the installer's process entry does.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

namespace {

class GdiplusEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
  }
  void TearDown() override { Gdiplus::GdiplusShutdown(token_); }

 private:
  ULONG_PTR token_ = 0;
};

[[maybe_unused]] ::testing::Environment* const kGdiplus =
    ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

}  // namespace
