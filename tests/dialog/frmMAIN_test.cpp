// frmMAIN as a model: what a load shows, the order of the runs F11 starts, the keys that do
// nothing. The options, the typing limits and a failing run are tested through the Qt window
// (tests/qt), which drives this same model.
#include "dialog/frmMAIN.h"

#include <gtest/gtest.h>

#include "dialog/frmMAIN_layout.h"
#include "host/basGLOBAL.h"
#include "support/recording_platform.h"

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
  }
  void TearDown() override { basGLOBAL::Reset(); }

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
  EXPECT_EQ(form_.Controls().size(), layout::frmMAINControls().size());
  EXPECT_EQ(form_.Controls().front()->name(), "opSinLAPI");  // front to back
  EXPECT_EQ(form_.Controls().back()->name(), "Shape1");
  form_.Unload();
  basGLOBAL::State().maxLength = 0;  // unset: 40
  form_.Load();
  EXPECT_EQ(form_.Text1().maxLength(), 40);
}

TEST_F(FrmMainTest, EachOptionIsReadAfterTheRunBeforeItHasReturned) {
  form_.Load();
  moveOn_ = true;
  Press(vbKeyF11);
  EXPECT_EQ(runs_, (std::vector<std::string>{"lpCopiar", "lpCopiar_ConLAPI", "lpCopiar_sinLAPI"}));
}

TEST_F(FrmMainTest, EscUnloadsAndOtherKeysDoNothing) {
  form_.Load();
  for (std::int16_t key : {13, 65, 112, 121, 123, 0}) Press(key);
  EXPECT_TRUE(runs_.empty());
  EXPECT_TRUE(form_.IsLoaded());
  Press(vbKeyEscape);
  EXPECT_FALSE(form_.IsLoaded());
}

}  // namespace
}  // namespace oq
