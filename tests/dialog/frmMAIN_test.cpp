// frmMAIN as a model: what each load shows, the keys F11 and ESC, the option clicks.
#include "dialog/frmMAIN.h"

#include <gtest/gtest.h>

#include "dialog/frmMAIN_layout.h"
#include "host/basGLOBAL.h"
#include "host/failure.h"
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
    if (during_) during_(name);
  }
  void Press(std::int16_t key, std::int16_t shift = 0) {
    std::int16_t code = key;
    form_.Form_KeyDown(code, shift);
    EXPECT_EQ(code, key) << "the key code must reach the focused control unchanged";
  }
  static std::vector<std::string> Names(const std::vector<Control*>& controls) {
    std::vector<std::string> names;
    for (const Control* control : controls) names.push_back(control->name());
    return names;
  }

  std::shared_ptr<test::RecordingPlatform> platform_ = std::make_shared<test::RecordingPlatform>();
  frmMAIN form_{platform_, nullptr};
  std::vector<std::string> runs_;
  std::function<void(const std::string&)> during_;
};

TEST_F(FrmMainTest, LoadingShowsTheSourceVersionAndLayoutValues) {
  form_.Load();
  EXPECT_EQ(form_.version().caption(), "v  1.1.23");
  EXPECT_EQ(form_.lbInterno().caption(), "2024-0101");
  EXPECT_EQ(form_.Text1().text(), "2024-0101");
  EXPECT_EQ(form_.txtCopias().text(), "1");
  EXPECT_EQ(form_.txtCopias().maxLength(), 1);
  EXPECT_EQ(form_.txtLOG().text(), "");
  EXPECT_TRUE(form_.opTodos().value());
  EXPECT_FALSE(form_.opLAPI().value() || form_.opSinLAPI().value());
  EXPECT_EQ(form_.ActiveControl()->name(), "txtLOG");
  EXPECT_EQ(Names(form_.TabOrder()), (std::vector<std::string>{"txtLOG", "txtCopias", "Text1",
                                                               "opTodos", "opLAPI", "opSinLAPI"}));
  EXPECT_EQ(form_.Controls().size(), layout::frmMAINControls().size());
  EXPECT_EQ(form_.Controls().front()->name(), "opSinLAPI");  // front to back
  EXPECT_EQ(form_.Controls().back()->name(), "Shape1");
}

TEST_F(FrmMainTest, TheNewNumbersTypingLimitIsTheSessionsOr40WhenItIsZero) {
  const std::vector<std::pair<int, int>> cases = {{0, 40}, {25, 25}, {60, 60}, {-3, -3}};
  for (const auto& [session, limit] : cases) {
    SCOPED_TRACE(session);
    basGLOBAL::State().maxLength = session;
    form_.Unload();
    form_.Load();
    EXPECT_EQ(form_.Text1().maxLength(), limit);
    form_.Text1().setText("");
    form_.Text1().Type(std::string(70, '7'));
    EXPECT_EQ(form_.Text1().text().size(), limit > 0 ? static_cast<std::size_t>(limit) : 70u);
  }
}

TEST_F(FrmMainTest, F11WithAnyShiftStateStartsExactlyTheSelectedRun) {
  form_.Load();
  const std::vector<std::pair<OptionButton& (frmMAIN::*)(), std::string>> options = {
      {&frmMAIN::opLAPI, "lpCopiar_ConLAPI"},
      {&frmMAIN::opSinLAPI, "lpCopiar_sinLAPI"},
      {&frmMAIN::opTodos, "lpCopiar"}};
  for (const auto& [option, run] : options) {
    (form_.*option)().setValue(true);
    for (std::int16_t shift = 0; shift <= (vbShiftMask | vbCtrlMask | vbAltMask); ++shift) {
      SCOPED_TRACE(run + " shift " + std::to_string(shift));
      runs_.clear();
      Press(vbKeyF11, shift);
      EXPECT_EQ(runs_, std::vector<std::string>{run});
    }
  }
  EXPECT_TRUE(form_.IsLoaded());
}

TEST_F(FrmMainTest, EachOptionIsReadAfterTheRunBeforeItHasReturned) {
  form_.Load();
  // A run that moves the selection on: the later tests see the new selection.
  during_ = [this](const std::string& run) {
    if (run == "lpCopiar") form_.opLAPI().setValue(true);
    if (run == "lpCopiar_ConLAPI") form_.opSinLAPI().setValue(true);
  };
  Press(vbKeyF11);
  EXPECT_EQ(runs_, (std::vector<std::string>{"lpCopiar", "lpCopiar_ConLAPI", "lpCopiar_sinLAPI"}));
}

TEST_F(FrmMainTest, ARunsUnhandledFailureEndsTheKeyPressThere) {
  form_.Load();
  during_ = [this](const std::string&) {
    form_.opLAPI().setValue(true);
    throw err::runtime(err::kOverflow);
  };
  std::int16_t code = vbKeyF11;
  EXPECT_THROW(form_.Form_KeyDown(code, 0), Failure);
  EXPECT_EQ(runs_, std::vector<std::string>{"lpCopiar"});
}

TEST_F(FrmMainTest, EscUnloadsAndOtherKeysDoNothing) {
  form_.Load();
  for (std::int16_t key : {13, 65, 112, 121, 123, 0}) Press(key);
  EXPECT_TRUE(runs_.empty());
  EXPECT_TRUE(form_.IsLoaded());
  Press(vbKeyEscape);
  EXPECT_FALSE(form_.IsLoaded());
}

TEST_F(FrmMainTest, OptionsGreyOrEnableTheCopiesBoxAndKeepItsText) {
  form_.Load();
  form_.txtCopias().setText("7");
  form_.opLAPI().setValue(true);
  EXPECT_FALSE(form_.txtCopias().enabled());
  form_.opSinLAPI().setValue(true);
  EXPECT_FALSE(form_.txtCopias().enabled());
  form_.opTodos().setValue(true);
  EXPECT_TRUE(form_.txtCopias().enabled());
  EXPECT_EQ(form_.txtCopias().text(), "7");
  EXPECT_EQ(Names(form_.TabOrder())[1], "txtCopias");
}

TEST_F(FrmMainTest, EachLoadRebuildsEveryControlFromTheLayout) {
  form_.Load();
  form_.let_txtLOG("Proceso terminado...");
  form_.txtCopias().setText("5");
  form_.opSinLAPI().setValue(true);
  form_.SetFocus(form_.Text1());
  form_.Unload();
  basGLOBAL::State().numeroInterno = "2024-0105";
  form_.Load();
  EXPECT_EQ(form_.get_txtLOG(), "");
  EXPECT_EQ(form_.get_txtCopias(), "1");
  EXPECT_TRUE(form_.txtCopias().enabled());
  EXPECT_TRUE(form_.opTodos().value());
  EXPECT_FALSE(form_.opSinLAPI().value());
  EXPECT_EQ(form_.get_Text1(), "2024-0105");
  EXPECT_EQ(form_.ActiveControl()->name(), "txtLOG");
}

}  // namespace
}  // namespace oq
