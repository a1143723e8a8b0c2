// frmMAIN as a model: what a load shows, the order of the runs F11 starts, the keys that do
// nothing; and Mostrar through a scripted view, with F11 running the engine's real copy on a SQLite
// database. The options, the typing limits and a failing run are tested through the Qt window
// (tests/qt), which drives this same model.
#include "dialog/frmMAIN.h"

#include <gtest/gtest.h>

#include "dialog/headless_view.h"
#include "host/basGLOBAL.h"
#include "host/cMAIN.h"
#include "support/recording_platform.h"
#include "support/session.h"
#include "support/test_database.h"

namespace oq {
namespace {

class FrmMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basGLOBAL::Reset();
    basGLOBAL::State().numeroInterno = "2024-0101";
    form_.SetCopyRuns(CopyRuns{[this](CopyContext& ctx) { Run("lpCopiar", ctx); },
                               [this](CopyContext& ctx) { Run("lpCopiar_ConLAPI", ctx); },
                               [this](CopyContext& ctx) { Run("lpCopiar_sinLAPI", ctx); }});
    // The forms Mostrar shows: scripted, with the engine's own runs.
    SetMainFormFactory([this] { return shown_ = std::make_shared<frmMAIN>(platform_, view_); });
  }
  void TearDown() override {
    SetMainFormFactory({});
    basGLOBAL::Reset();
  }

  void Run(const std::string& name, CopyContext& ctx) {
    EXPECT_EQ(&ctx.form, static_cast<CopyForm*>(&form_));
    EXPECT_EQ(&ctx.platform, platform_.get());
    runs_.push_back(name);
    if (name == "lpCopiar") form_.opLAPI().setValue(moveOn_);
    if (name == "lpCopiar_ConLAPI") form_.opSinLAPI().setValue(moveOn_);
  }
  void Press(std::int16_t key) {
    std::int16_t code = key;
    form_.Form_KeyDown(code, vbShiftMask);
    EXPECT_EQ(code, key) << "the key code must reach the focused control unchanged";
  }

  std::shared_ptr<test::RecordingPlatform> platform_ = std::make_shared<test::RecordingPlatform>();
  std::shared_ptr<HeadlessView> view_ = std::make_shared<HeadlessView>();
  std::shared_ptr<frmMAIN> shown_;
  frmMAIN form_{platform_, nullptr};
  std::vector<std::string> runs_;
  bool moveOn_ = false;  // whether each run selects the next option
};

TEST_F(FrmMainTest, LoadingShowsTheSourceVersionAndLayoutValues) {
  basGLOBAL::State().maxLength = -1;  // handed over as it is: the box takes it as no limit
  form_.Load();
  EXPECT_EQ(form_.version().caption(), "v  1.1.23");
  EXPECT_EQ(form_.lbInterno().caption(), "2024-0101");
  EXPECT_EQ(form_.get_Text1(), "2024-0101");
  EXPECT_EQ(form_.Text1().maxLength(), -1);
  EXPECT_EQ(form_.txtCopias().maxLength(), 1);
  EXPECT_TRUE(form_.opTodos().value() && !form_.opLAPI().value() && !form_.opSinLAPI().value());
  EXPECT_EQ(form_.ActiveControl()->name(), "txtLOG");
  std::vector<std::string> names;
  for (const Control* control : form_.TabOrder()) names.push_back(control->name());
  EXPECT_EQ(names, (std::vector<std::string>{"txtLOG", "txtCopias", "Text1", "opTodos", "opLAPI",
                                             "opSinLAPI"}));
  EXPECT_EQ(form_.Controls().front()->name(), "opSinLAPI");  // front to back
  EXPECT_EQ(form_.Controls().back()->name(), "Shape1");
  form_.Unload();
  basGLOBAL::State().maxLength = 0;  // unset: 40
  form_.Load();
  EXPECT_EQ(form_.Text1().maxLength(), 40);
}

// Other keys do nothing; F11 reads each option after the run before it has returned; ESC unloads.
TEST_F(FrmMainTest, F11RunsEachOptionSelectedByTheRunBeforeAndEscUnloads) {
  form_.Load();
  for (std::int16_t key : {13, 65, 112, 121, 123, 0}) Press(key);
  EXPECT_TRUE(runs_.empty());
  moveOn_ = true;
  Press(vbKeyF11);
  EXPECT_EQ(runs_, (std::vector<std::string>{"lpCopiar", "lpCopiar_ConLAPI", "lpCopiar_sinLAPI"}));
  EXPECT_TRUE(form_.IsLoaded());
  Press(vbKeyEscape);
  EXPECT_FALSE(form_.IsLoaded());
}

TEST_F(FrmMainTest, AFormLeftOpenIsAFailureOfMostrarNotAHang) {
  view_->SetScript([](frmMAIN&) {});
  EXPECT_EQ(test::FailureOf([] { cMAIN().Mostrar(); }).number(), 5);
  EXPECT_FALSE(shown_->IsLoaded());
}

// The source number is proposed as the new one: F11 at once, with all items and one copy, finds
// it taken, logs it and still ends the run.
TEST_F(FrmMainTest, F11AtOnceFindsTheProposedNumberTakenInARealDatabase) {
  test::TestDatabase db(test::AvailableBackends().at(0));  // SQLite comes first
  db.InsertInterno("2024-0101", 1, 2, 3);
  test::SetUpSession(db.internos(), db.ncm(), "2024-0101", nullptr);
  std::string log;
  view_->SetScript([&](frmMAIN& form) {
    HeadlessView::PressKey(form, vbKeyF11, vbShiftMask);
    log = form.get_txtLOG();
    HeadlessView::PressKey(form, vbKeyEscape);
  });
  cMAIN().Mostrar();
  EXPECT_EQ(log, "El interno 2024-0101 ya existe .-\r\nProceso terminado...");
  EXPECT_EQ(platform_->messages(),
            (std::vector<test::ShownMessage>{{vbInformation, "Fin del Proceso"}}));
  EXPECT_EQ(db.Count("caratula", "2024-0101"), 1);
  EXPECT_EQ(db.Count("subitems", "2024-0101"), 3);
}

}  // namespace
}  // namespace oq
