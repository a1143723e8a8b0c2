// cMAIN::Mostrar with the Qt window: the modal loop, the keys from every control, the option
// group, the typing limits and a failing run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <thread>
#include <tuple>

#include "host/basGLOBAL.h"
#include "host/cMAIN.h"
#include "host/failure.h"
#include "platform/qt/form_window.h"
#include "platform/qt/qt_forms.h"
#include "support/recording_platform.h"

namespace oq::qt {
namespace {

class QtDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basGLOBAL::Reset();
    basGLOBAL::State().numeroInterno = "4711";
    InstallQtMainForm(platform_, [this](frmMAIN& form) {
      form_ = &form;
      form.SetCopyRuns(CopyRuns{[this](CopyContext& ctx) { Run("lpCopiar", ctx); },
                                [this](CopyContext& ctx) { Run("lpCopiar_ConLAPI", ctx); },
                                [this](CopyContext& ctx) { Run("lpCopiar_sinLAPI", ctx); }});
    });
  }
  void TearDown() override {
    SetMainFormFactory({});
    basGLOBAL::Reset();
  }

  void Run(const std::string& name, CopyContext& ctx) {
    runs_.push_back(name);
    if (during_) during_(ctx);
  }

  // Calls Mostrar; `user` plays the user once the window is up and should end with ESC. A window
  // left open is a failure, and is closed so that the test goes on.
  void Show(const std::function<void(FormWindow&)>& user) {
    QTimer::singleShot(0, [this, user] {
      auto* window = qobject_cast<FormWindow*>(QApplication::activeModalWidget());
      if (window == nullptr) {
        ADD_FAILURE() << "no modal window";
        if (form_ != nullptr) form_->Unload();
        return;
      }
      EXPECT_TRUE(QTest::qWaitForWindowActive(window));
      user(*window);
      if (form_->IsLoaded()) {
        ADD_FAILURE() << "the dialog was left open";
        form_->Unload();
      }
    });
    cMAIN().Mostrar();
  }

  static void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
  }
  static void Focus(FormWindow& window, const char* name) {
    window.WidgetFor(name)->setFocus(Qt::TabFocusReason);
  }
  static void Click(FormWindow& window, const char* option) {
    QWidget* radio = window.WidgetFor(option);
    QTest::mouseClick(radio, Qt::LeftButton, Qt::NoModifier, QPoint(6, radio->height() / 2));
  }
  static QString Text(FormWindow& window, const char* name) {
    QWidget* widget = window.WidgetFor(name);
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text();
    if (auto* log = qobject_cast<QPlainTextEdit*>(widget)) return log->toPlainText();
    return qobject_cast<QLabel*>(widget)->text();
  }
  static bool Checked(FormWindow& window, const char* option) {
    return qobject_cast<QRadioButton*>(window.WidgetFor(option))->isChecked();
  }

  std::shared_ptr<test::RecordingPlatform> platform_ = std::make_shared<test::RecordingPlatform>();
  frmMAIN* form_ = nullptr;
  std::vector<std::string> runs_;
  std::function<void(CopyContext&)> during_;
};

// Each showing opens with the focus in the log; F11 starts only the selected option's run, whatever
// the modifiers; ESC ends Mostrar from whichever control has the focus.
TEST_F(QtDialogTest, F11WithAnyModifiersStartsOnlyTheSelectedRunAndEscEndsFromAnyControl) {
  const std::vector<std::pair<const char*, const char*>> options = {
      {"opTodos", "lpCopiar"}, {"opLAPI", "lpCopiar_ConLAPI"}, {"opSinLAPI", "lpCopiar_sinLAPI"}};
  const std::vector<Qt::KeyboardModifiers> states = {
      Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier,
      Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier};
  const char* controls[] = {"txtLOG", "txtCopias", "Text1", "opTodos", "opLAPI"};  // one a state
  int round = 0;
  for (const auto& [option, run] : options) {
    for (Qt::KeyboardModifiers state : states) {
      // txtCopias takes no focus while greyed, so only opTodos's rounds visit every control.
      const char* control = std::string(option) == "opTodos" ? controls[round++] : "Text1";
      SCOPED_TRACE(std::string(option) + " " + std::to_string(state.toInt()) + " " + control);
      runs_.clear();
      QString startFocus;
      Show([&, opt = option](FormWindow& window) {
        startFocus = QApplication::focusWidget()->objectName();
        Click(window, opt);
        Focus(window, control);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), control);
        Press(Qt::Key_F11, state);
        Press(Qt::Key_Escape);
      });
      EXPECT_EQ(startFocus, "txtLOG");
      EXPECT_EQ(runs_, std::vector<std::string>{run});
      EXPECT_FALSE(form_->IsLoaded());
      EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
  }
}

// The options grey and enable txtCopias keeping its text; a second showing starts afresh with the
// current source number.
TEST_F(QtDialogTest, OptionsGreyTheCopiesBoxKeepingItsTextAndReopeningResets) {
  Show([&](FormWindow& window) {
    QTest::keyClicks(window.WidgetFor("txtLOG"), "notas");
    EXPECT_EQ(form_->txtLOG().text(), "notas");
    Focus(window, "txtCopias");
    QTest::keyClick(window.WidgetFor("txtCopias"), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(window.WidgetFor("txtCopias"), "7");
    for (const char* option : {"opLAPI", "opSinLAPI", "opTodos", "opLAPI"}) {
      SCOPED_TRACE(option);
      Click(window, option);
      const bool todos = std::string(option) == "opTodos";
      EXPECT_TRUE(Checked(window, option));
      EXPECT_EQ(window.WidgetFor("txtCopias")->isEnabled(), todos);
      EXPECT_EQ(form_->txtCopias().enabled(), todos);
      EXPECT_EQ(Text(window, "txtCopias"), "7");
    }
    Focus(window, "txtLOG");
    Press(Qt::Key_Escape);
  });
  basGLOBAL::State().numeroInterno = "4712/B";
  Show([&](FormWindow& window) {
    EXPECT_EQ(Text(window, "txtLOG"), "");
    EXPECT_EQ(Text(window, "txtCopias"), "1");
    EXPECT_TRUE(Checked(window, "opTodos") && window.WidgetFor("txtCopias")->isEnabled());
    EXPECT_EQ(Text(window, "lbInterno"), "4712/B");
    EXPECT_EQ(Text(window, "Text1"), "4712/B");
    EXPECT_EQ(Text(window, "version"), "v  1.1.23");
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "txtLOG");
    Press(Qt::Key_Escape);
  });
}

TEST_F(QtDialogTest, TypingInTheNewNumberStopsAtTheSessionsLimit) {
  for (const auto& [sessionLimit, expected] : {std::pair{0, 40}, {25, 25}, {60, 60}}) {
    SCOPED_TRACE(sessionLimit);
    basGLOBAL::State().maxLength = sessionLimit;
    Show([&, limit = expected](FormWindow& window) {
      auto* text1 = window.WidgetFor("Text1");
      Focus(window, "Text1");
      QTest::keyClick(text1, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(text1, QString(70, QLatin1Char('9')));
      EXPECT_EQ(Text(window, "Text1"), QString(limit, QLatin1Char('9')));
      EXPECT_EQ(form_->Text1().text(), std::string(static_cast<std::size_t>(limit), '9'));
      Press(Qt::Key_Escape);
    });
  }
}

// A paste past a box's limit keeps its first characters, in the window and in the form.
TEST_F(QtDialogTest, APastePastTheLimitKeepsItsFirstCharacters) {
  basGLOBAL::State().maxLength = 6;
  Show([&](FormWindow& window) {
    for (const auto& [box, pasted, expected] :
         {std::tuple{"Text1", "2024-0901-B", "2024-0"}, {"txtCopias", "25", "2"}}) {
      Focus(window, box);
      QTest::keyClick(window.WidgetFor(box), Qt::Key_A, Qt::ControlModifier);
      QApplication::clipboard()->setText(QString::fromUtf8(pasted));
      qobject_cast<QLineEdit*>(window.WidgetFor(box))->paste();
      EXPECT_EQ(Text(window, box), QString::fromUtf8(expected)) << box;
      EXPECT_EQ(static_cast<TextBox*>(form_->FindControl(box))->text(), expected);
    }
    Press(Qt::Key_Escape);
  });
}

// Qt shows windows on the application's thread only: Mostrar on another thread fails with a clear
// failure, and the dialog of the application's thread still works.
TEST_F(QtDialogTest, MostrarOnAnotherThreadFailsAndLeavesTheApplicationsThreadWorking) {
  std::string failure;
  std::thread([&failure] {
    InstallQtMainForm(std::make_shared<test::RecordingPlatform>());
    try {
      cMAIN().Mostrar();
    } catch (const Failure& f) {
      failure = std::to_string(f.number()) + " " + f.description();
    }
  }).join();
  EXPECT_TRUE(failure.starts_with("429 ") && failure.find("thread") != std::string::npos)
      << failure;
  Show([](FormWindow&) { Press(Qt::Key_Escape); });
}

// The window shows a run's log while it works; an unhandled failure ends the run there (the later
// options are not read), closes the window and reaches the host.
TEST_F(QtDialogTest, TheWindowShowsARunsLogAndAFailureEndsTheShowing) {
  QString shownDuringRun;
  during_ = [&](CopyContext& ctx) {
    ctx.form.let_txtLOG("Procesando...");
    auto* window = qobject_cast<FormWindow*>(QApplication::activeModalWidget());
    shownDuringRun = Text(*window, "txtLOG");
    ctx.form.let_txtLOG("El interno 1 ya existe .-\r\nProceso terminado...");
  };
  Show([&](FormWindow& window) {
    Press(Qt::Key_F11);
    EXPECT_EQ(Text(window, "txtLOG"), "El interno 1 ya existe .-\nProceso terminado...");
    Press(Qt::Key_Escape);
  });
  EXPECT_EQ(shownDuringRun, "Procesando...");

  runs_.clear();
  during_ = [this](CopyContext&) {
    form_->opLAPI().setValue(true);
    throw err::runtime(err::kTypeMismatch);
  };
  try {
    Show([&](FormWindow&) { Press(Qt::Key_F11); });
    ADD_FAILURE() << "Mostrar returned normally";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), err::kTypeMismatch);
  }
  EXPECT_FALSE(form_->IsLoaded());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(runs_, std::vector<std::string>{"lpCopiar"});
}

}  // namespace
}  // namespace oq::qt
