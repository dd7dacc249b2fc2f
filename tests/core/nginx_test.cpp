// The engine against a real server: nginx on loopback (natively; skipped under Wine).
#include <gtest/gtest.h>

#include "download/http_get.h"
#include "platform/text.h"
#include "tests/core/support/nginx_server.h"
#include "tests/core/support/script_server.h"
#include "tests/core/support/temp_dir.h"

namespace {

// One server for the whole suite: starting and stopping nginx takes a moment.
class Nginx : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
#ifndef _WIN32
    content = new std::string(testsupport::MakeContent(100000, 7));
    shared = new testsupport::NginxServer;
    const bool added = shared->AddFile("files/small.bin", *content) && shared->AddFile("norange/small.bin", *content) &&
                       shared->AddFile("forbidden/secret.zip", *content);
    started = added && shared->Start();
#endif
  }
  static void TearDownTestSuite() {
    delete shared;
    delete content;
    shared = nullptr;
    content = nullptr;
  }
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "nginx runs natively only";
#endif
    ASSERT_TRUE(started) << shared->Error();
  }

  static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

  static testsupport::NginxServer* shared;
  static std::string* content;
  static bool started;
  testsupport::NginxServer& server = *shared;
};

testsupport::NginxServer* Nginx::shared = nullptr;
std::string* Nginx::content = nullptr;
bool Nginx::started = false;

TEST_F(Nginx, WhatTheServerAnswersDecidesTheOutcome) {
  struct Case {
    const char* path;
    int result;
    const char* finalPath;  // nullptr: nothing is saved
  } cases[] = {
      {"/files/small.bin", DL_OK, "/files/small.bin"},
      {"/norange/small.bin", DL_OK, "/norange/small.bin"},
      {"/moved/temporary.zip", DL_OK, "/files/small.bin"},  // 302, then 301
      {"/files/missing.bin", DL_HTTP_DENIED, nullptr},
      {"/forbidden/secret.zip", DL_HTTP_DENIED, nullptr},
  };
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    DownloadRequest request;
    request.url = Wide(server.Url(c.path));
    request.saveLocation = dir.Wide();
    DownloadOutcome outcome;
    EXPECT_EQ(DownloadWithOutcome(request, outcome), c.result) << c.path;
    if (!c.finalPath) continue;
    EXPECT_EQ(outcome.finalUrl, Wide(server.Url(c.finalPath))) << c.path;
    EXPECT_TRUE(testsupport::ReadAll(outcome.target) == *content) << c.path;
  }
}

}  // namespace
