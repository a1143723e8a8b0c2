#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/copy_context.h"
#include "recording_platform.h"
#include "session.h"
#include "test_backend.h"
#include "test_database.h"
#include "test_form.h"

namespace oq::test {

// The base of the copy suites that run on every backend: fresh databases, a plain form, a
// recording platform and a context over both. The session state is cleared after each test.
class CopyFixture : public testing::TestWithParam<std::shared_ptr<TestBackend>> {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Fills the session: the internos connection (the database's own unless given, for wrappers),
  // the NCM connection, `fecha` as the date text and `source` as the interno to copy.
  void StartSession(const std::string& source, std::shared_ptr<HostConnection> internos = nullptr,
                    const std::string& fecha = "'2024-05-17'");
  // Types `number` and `copies` into the form and runs the full copy.
  void Run(const std::string& number, const std::string& copies = "1");

  std::unique_ptr<TestDatabase> db_;
  TestForm form_;
  RecordingPlatform platform_;
  CopyContext ctx_{form_, platform_};
};

}  // namespace oq::test
