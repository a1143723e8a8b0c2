// Mostrar through a scripted view: a form left open, and F11 running the engine's real copy on a
// SQLite database.
#include <gtest/gtest.h>

#include "dialog/frmMAIN.h"
#include "dialog/headless_view.h"
#include "host/basGLOBAL.h"
#include "host/cMAIN.h"
#include "host/failure.h"
#include "support/recording_platform.h"
#include "support/session.h"
#include "support/test_database.h"

namespace oq {
namespace {

class ShowingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basGLOBAL::Reset();
    SetMainFormFactory([this] {
      auto form = std::make_shared<frmMAIN>(platform_, view_);
      forms_.push_back(form);
      return form;
    });
  }
  void TearDown() override {
    SetMainFormFactory({});
    basGLOBAL::Reset();
  }

  std::shared_ptr<test::RecordingPlatform> platform_ = std::make_shared<test::RecordingPlatform>();
  std::shared_ptr<HeadlessView> view_ = std::make_shared<HeadlessView>();
  std::vector<std::shared_ptr<frmMAIN>> forms_;
};

TEST_F(ShowingTest, AFormLeftOpenIsAFailureOfMostrarNotAHang) {
  view_->SetScript([](frmMAIN&) {});
  try {
    cMAIN().Mostrar();
    FAIL() << "Mostrar returned";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 5);
  }
  EXPECT_FALSE(forms_.at(0)->IsLoaded());
}

// The source number is proposed as the new one: F11 at once, with all items and one copy, finds
// it taken, logs it and still ends the run.
TEST_F(ShowingTest, F11AtOnceFindsTheProposedNumberTakenInARealDatabase) {
  test::TestDatabase db(test::AvailableBackends().at(0));  // SQLite comes first
  db.InsertInterno("2024-0101", 1, 2, 3);
  test::SetUpSession({db.internos(), db.ncm(), "'2024-05-17'", "2024-0101", nullptr});

  std::string log;
  view_->SetScript([&](frmMAIN& form) {
    HeadlessView::PressKey(form, vbKeyF11, vbShiftMask);
    log = form.get_txtLOG();
    HeadlessView::PressKey(form, vbKeyEscape);
  });
  cMAIN().Mostrar();

  EXPECT_EQ(log, "El interno 2024-0101 ya existe .-\r\nProceso terminado...");
  ASSERT_FALSE(platform_->messages().empty());
  EXPECT_EQ(platform_->messages().back(), (test::ShownMessage{vbInformation, "Fin del Proceso"}));
  EXPECT_EQ(db.Count("caratula", "2024-0101"), 1);
  EXPECT_EQ(db.Count("subitems", "2024-0101"), 3);
}

}  // namespace
}  // namespace oq
