#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/copy_context.h"
#include "engine/copy_runs.h"
#include "recording_platform.h"
#include "session.h"
#include "test_database.h"
#include "test_form.h"

namespace oq::test {

// The copy suites that run on every backend: fresh databases, a plain form and a recording
// platform under one context. The session is cleared after each test.
class CopyFixture : public testing::TestWithParam<std::shared_ptr<TestBackend>> {
 protected:
  void SetUp() override { db_ = std::make_unique<TestDatabase>(GetParam()); }
  // The session holds the connections; they go before the databases do.
  void TearDown() override {
    basGLOBAL::Reset();
    db_.reset();
  }

  // A session copying `source` over the databases' connections, or `internos` in their stead.
  void StartSession(const std::string& source, std::shared_ptr<HostConnection> internos = nullptr) {
    SetUpSession(internos ? internos : db_->internos(), db_->ncm(), source,
                 MakeDataAccessManager());
  }
  // Types `number` and `copies` into the form and starts `run`.
  void Run(const std::string& number, const std::string& copies = "1",
           void (*run)(CopyContext&) = &lpCopiar) {
    form_.Text1 = number;
    form_.txtCopias = copies;
    run(ctx_);
  }

  // Each row of `got` holds the values of the same row of `want` from column `from` on.
  static void ExpectSameValues(const std::vector<std::vector<Variant>>& got,
                               const std::vector<std::vector<Variant>>& want, std::size_t from) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t r = 0; r < got.size(); ++r) {
      ASSERT_EQ(got[r].size(), want[r].size());
      for (std::size_t c = from; c < got[r].size(); ++c) {
        EXPECT_TRUE(SameValue(got[r][c], want[r][c]))
            << "row " << r << " column " << c << ": " << Describe(got[r][c]) << " instead of "
            << Describe(want[r][c]);
      }
    }
  }

  std::unique_ptr<TestDatabase> db_;
  TestForm form_;
  RecordingPlatform platform_;
  CopyContext ctx_{form_, platform_};
};

}  // namespace oq::test
