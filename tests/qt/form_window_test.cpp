// The Qt window of frmMAIN under cMAIN::Mostrar, and the Qt platform's message boxes and pointer.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <thread>

#include "careful_host/copy_session.h"
#include "careful_host/interrupts.h"
#include "careful_host/qt/guarded_dialog.h"
#include "connectors/sqlite/sqlite_connection.h"
#include "host/basGLOBAL.h"
#include "host/cMAIN.h"
#include "host/failure.h"
#include "host/recordset.h"
#include "platform/qt/form_window.h"
#include "platform/qt/qt_forms.h"
#include "platform/qt/qt_platform_port.h"
#include "platform/settings_store.h"
#include "support/faulty_connection.h"
#include "support/recording_platform.h"
#include "support/session.h"
#include "support/test_database.h"

namespace oq::qt {
namespace {

class QtDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basGLOBAL::Reset();
    basGLOBAL::State().numeroInterno = "4711";
    InstallQtMainForm(platform_, [this](frmMAIN& form) {
      form_ = &form;
      const auto run = [this](const char* name) {
        return [this, name](CopyContext& ctx) {
          runs_.push_back(name);
          if (during_) during_(ctx);
        };
      };
      form.SetCopyRuns({run("lpCopiar"), run("lpCopiar_ConLAPI"), run("lpCopiar_sinLAPI")});
    });
  }
  void TearDown() override {
    SetMainFormFactory({});
    basGLOBAL::Reset();
  }

  // Calls Mostrar; `user` plays the user and should end with ESC (a window left open fails).
  void Show(const std::function<void(FormWindow&)>& user) {
    QTimer::singleShot(0, [this, user] {
      auto* window = qobject_cast<FormWindow*>(QApplication::activeModalWidget());
      ASSERT_NE(window, nullptr);
      EXPECT_TRUE(QTest::qWaitForWindowActive(window));
      user(*window);
      EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the dialog was left open";
      if (form_ != nullptr && form_->IsLoaded()) form_->Unload();
    });
    cMAIN().Mostrar();
  }

  static void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
  }
  static void Focus(FormWindow& window, const char* name) {
    window.WidgetFor(name)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(window.WidgetFor(name), Qt::Key_A, Qt::ControlModifier);  // selects its text
  }
  static void Click(FormWindow& window, const char* option) {
    QWidget* radio = window.WidgetFor(option);
    QTest::mouseClick(radio, Qt::LeftButton, Qt::NoModifier, QPoint(6, radio->height() / 2));
  }
  static QString Text(FormWindow& window, const char* name) {
    QWidget* widget = window.WidgetFor(name);
    return widget->property(qobject_cast<QPlainTextEdit*>(widget) ? "plainText" : "text")
        .toString();
  }

  std::shared_ptr<test::RecordingPlatform> platform_ = std::make_shared<test::RecordingPlatform>();
  frmMAIN* form_ = nullptr;
  std::vector<std::string> runs_;
  std::function<void(CopyContext&)> during_;
};

// Focus opens in the log; F11 with any modifiers starts the selected run, which shows its log.
TEST_F(QtDialogTest, F11WithAnyModifiersStartsOnlyTheSelectedRunAndEscEndsFromAnyControl) {
  QString shownDuringRun;
  during_ = [&](CopyContext& ctx) {
    ctx.form.let_txtLOG("Procesando...");
    shownDuringRun = Text(*qobject_cast<FormWindow*>(QApplication::activeModalWidget()), "txtLOG");
    ctx.form.let_txtLOG("El interno 1 ya existe .-\r\nProceso terminado...");
  };
  const std::pair<std::string, const char*> options[] = {
      {"opTodos", "lpCopiar"}, {"opLAPI", "lpCopiar_ConLAPI"}, {"opSinLAPI", "lpCopiar_sinLAPI"}};
  const Qt::KeyboardModifiers states[] = {
      Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier,
      Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier};
  const char* controls[] = {"txtLOG", "txtCopias", "Text1", "opTodos", "opLAPI"};  // one a state
  int round = 0;
  for (const auto& [option, run] : options) {
    for (Qt::KeyboardModifiers state : states) {
      // txtCopias takes no focus while greyed, so only opTodos's rounds visit every control.
      const char* control = option == "opTodos" ? controls[round++] : "Text1";
      SCOPED_TRACE(option + " " + std::to_string(state.toInt()) + " " + control);
      runs_.clear();
      Show([&, opt = option.c_str()](FormWindow& window) {
        EXPECT_EQ(QApplication::focusWidget()->objectName(), "txtLOG");
        Click(window, opt);
        Focus(window, control);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), control);
        Press(Qt::Key_F11, state);
        EXPECT_EQ(Text(window, "txtLOG"), "El interno 1 ya existe .-\nProceso terminado...");
        Press(Qt::Key_Escape);
      });
      EXPECT_EQ(shownDuringRun, "Procesando...");
      EXPECT_EQ(runs_, std::vector<std::string>{run});
      EXPECT_FALSE(form_->IsLoaded());
    }
  }
}

// Typing or pasting stops at a box's limit (the session's, or 40; 1 for the copies); reopening
// resets.
TEST_F(QtDialogTest, TheBoxesFollowTheOptionsAndTheirLimitsAndReopeningResets) {
  for (const auto& [sessionLimit, limit] : {std::pair{0, 40}, {6, 6}, {60, 60}}) {
    basGLOBAL::State().maxLength = sessionLimit;
    Show([&, limit = limit](FormWindow& window) {
      QTest::keyClicks(window.WidgetFor("txtLOG"), "notas");
      EXPECT_EQ(form_->txtLOG().text(), "notas");
      Focus(window, "txtCopias");
      QTest::keyClicks(window.WidgetFor("txtCopias"), "7");
      for (const char* option : {"opLAPI", "opSinLAPI", "opTodos"}) {
        Click(window, option);
        const bool todos = std::string(option) == "opTodos";
        EXPECT_EQ(window.WidgetFor("txtCopias")->isEnabled(), todos) << option;
        EXPECT_EQ(form_->txtCopias().enabled(), todos) << option;
        EXPECT_EQ(Text(window, "txtCopias"), "7");
      }
      Focus(window, "Text1");
      QTest::keyClicks(window.WidgetFor("Text1"), QString(70, QLatin1Char('9')));
      EXPECT_EQ(form_->Text1().text(), std::string(static_cast<std::size_t>(limit), '9'));
      for (const auto& [box, kept] : {std::pair{"Text1", limit}, {"txtCopias", 1}}) {
        Focus(window, box);
        QApplication::clipboard()->setText(QString(70, QLatin1Char('2')));
        qobject_cast<QLineEdit*>(window.WidgetFor(box))->paste();
        EXPECT_EQ(Text(window, box), QString(kept, QLatin1Char('2'))) << box;
        EXPECT_EQ(static_cast<TextBox*>(form_->FindControl(box))->text(),
                  std::string(static_cast<std::size_t>(kept), '2'));
      }
      Press(Qt::Key_Escape);
    });
  }
  basGLOBAL::State().numeroInterno = "4712/B";
  Show([&](FormWindow& window) {
    EXPECT_EQ(Text(window, "txtLOG") + Text(window, "txtCopias"), "1");
    EXPECT_TRUE(form_->opTodos().value() && window.WidgetFor("txtCopias")->isEnabled());
    EXPECT_EQ(Text(window, "lbInterno") + Text(window, "Text1"), "4712/B4712/B");
    EXPECT_EQ(Text(window, "version"), "v  1.1.23");
    Press(Qt::Key_Escape);
  });
}

// A failure ends the run (later options unread), closes the window and reaches the host; so does
// Mostrar off the application's thread, where Qt shows no window.
TEST_F(QtDialogTest, AFailureEndsTheShowing) {
  during_ = [this](CopyContext&) {
    form_->opLAPI().setValue(true);
    throw err::runtime(err::kTypeMismatch);
  };
  EXPECT_THROW(Show([&](FormWindow&) { Press(Qt::Key_F11); }), Failure);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(runs_, std::vector<std::string>{"lpCopiar"});
  std::thread([] {
    InstallQtMainForm(std::make_shared<test::RecordingPlatform>());
    EXPECT_THROW(cMAIN().Mostrar(), Failure);
  }).join();
}

// The program's dialog: each F11 is one transaction and a run that failed says so in the log. No
// box waits with the database locked: a failed run is rolled back before its box, a healthy one
// committed before "Fin del Proceso" and its notices shown after that, so another program sees
// the copy while the box is up, and a SIGTERM then ends the program at once with the copy kept.
TEST_F(QtDialogTest, AGuardedRunHoldsNoLockWhileABoxWaits) {
  test::TestDatabase db(test::AvailableBackends().front());
  ::setenv("XDG_CONFIG_HOME", db.folder().c_str(), 1);
  db.InsertInterno("A", 1, 2, 3);  // no position of its items is in ncm: con LAPI keeps none
  auto faulty = std::make_shared<test::FaultyConnection>(db.internos());
  // The first run's cover sheet; the fourth run (past the three reads of each run's record).
  faulty->failAt(3).signalAt(23, SIGTERM);
  auto* control = dynamic_cast<connectors::TransactionControl*>(db.internos().get());
  auto guard = careful::MakeProgramRunGuard(faulty, control, {}, careful::SpanWhileWriting());
  test::SetUpSession(guard->connection(), db.ncm(), "A", test::MakeDataAccessManager());
  careful::InstallGuardedQtForm(*guard, platform_);
  careful::InstallInterruptHandlers();
  auto other = sqlite::SqliteConnection::Open(db.internosUrl().substr(7),
                                              {.busyTimeout = std::chrono::milliseconds(0)});
  std::vector<std::string> seen;  // each box, and the copies another program sees meanwhile
  platform_->onBox = [&](const test::ShownMessage& box) {
    other->put_sql("select count(*) as n from caratula where interno <> 'A'");
    Variant rows;
    other->crearrs(rows);
    try {
      other->BeginRun();
      other->RollbackRun();
    } catch (const Failure&) {
      seen.push_back("locked");
    }
    const Variant copies = dynamic_cast<Recordset&>(*rows.asObject()).Fields("n").Value();
    seen.push_back(box.prompt.substr(0, 20) + " " + std::to_string(copies.toInt64()));
  };
  auto run = [&](FormWindow& window, const char* number, const char* option) {
    Click(window, option);
    Focus(window, "Text1");
    QTest::keyClick(window.WidgetFor("Text1"), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(window.WidgetFor("Text1"), number);
    Press(Qt::Key_F11);
  };
  Show([&](FormWindow& window) {
    run(window, "N", "opTodos");
    const std::string log = Text(window, "txtLOG").toStdString();
    EXPECT_TRUE(
        log.ends_with("Proceso terminado...\nNo se grabó nada: la copia no terminó bien y la "
                      "base quedó como estaba antes.\n"))
        << log;
    run(window, "N", "opTodos");
    run(window, "L", "opLAPI");
    run(window, "S", "opTodos");  // interrupted: the dialog closes
    if (QApplication::activeModalWidget() == &window) Press(Qt::Key_Escape);
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"-2147467259 - inject 0", "Fin del Proceso 0",
                                            "Fin del Proceso 1", "No se encontraron Su 2",
                                            "Fin del Proceso 2"}));
  EXPECT_EQ(guard->lastOutcome()->signal, SIGTERM);
  for (const char* number : {"N", "L"}) {
    EXPECT_EQ(db.Count("caratula", number), 1) << number;
    EXPECT_EQ(SettingsStore::ForCurrentUser().Get("TRELVO", "PROCESOS", number), "SI") << number;
  }
  EXPECT_EQ(db.Count("caratula", "S") + db.Count("facturas", "S"), 0);

  { careful::RunSpan forget; }  // the signal noted above ended this showing; a new one starts clean
  testing::FLAGS_gtest_death_test_style = "fast";  // the child must share this test's database
  platform_->onBox = [](const test::ShownMessage& box) {
    if (box.prompt == "Fin del Proceso") ::raise(SIGTERM);
  };
  EXPECT_EXIT(Show([&](FormWindow& window) { run(window, "T", "opTodos"); }),
              testing::KilledBySignal(SIGTERM), "");
  EXPECT_EQ(db.Count("subitems", "T"), 3);
}

// A long run keeps the window alive: the title tells its progress, and ESC is answered with a
// question whose yes stops the run (nothing written) and closes the dialog.
TEST_F(QtDialogTest, ALongRunShowsItsProgressAndEscAsksBeforeStoppingIt) {
  test::TestDatabase db(test::AvailableBackends().front());
  ::setenv("XDG_CONFIG_HOME", db.folder().c_str(), 1);
  db.InsertInterno("A", 1, 1, 3);
  db.MultiplyLicensedItems("A", 11);  // 6,144 items, one statement each: seconds of work
  auto* control = dynamic_cast<connectors::TransactionControl*>(db.internos().get());
  auto guard =
      careful::MakeProgramRunGuard(db.internos(), control, {}, careful::SpanWhileWriting());
  test::SetUpSession(guard->connection(), db.ncm(), "A", test::MakeDataAccessManager());
  careful::InstallGuardedQtForm(*guard, platform_);
  QString title;
  Show([&](FormWindow& window) {
    Click(window, "opLAPI");
    Focus(window, "Text1");
    QTest::keyClicks(window.WidgetFor("Text1"), "N");
    QObject::connect(&window, &QWidget::windowTitleChanged, [&](const QString& shown) {
      if (title.isEmpty()) title = shown;
    });
    QTimer::singleShot(0, [&] {  // served during the run, between two of its statements
      QTest::keyClick(&window, Qt::Key_Escape);
      QTimer::singleShot(500, [&] {
        auto* question = window.findChild<QMessageBox*>();
        ASSERT_NE(question, nullptr);
        question->button(QMessageBox::Yes)->click();
      });
    });
    Press(Qt::Key_F11);
  });
  EXPECT_TRUE(title.startsWith("oQUARDELINO - copiando: copia 1, ")) << title.toStdString();
  EXPECT_EQ(guard->lastOutcome()->signal, SIGINT);
  EXPECT_EQ(db.Count("caratula", "N") + db.Count("subitems", "N"), 0);
  { careful::RunSpan forget; }
}

// Each box is read from the screen and acknowledged with Return, as a user would.
TEST(QtPlatformPortTest, BoxesShowTheIconOfTheirStyleAndThePointerStaysUntilSetAgain) {
  QtPlatformPort port(SettingsStore("never-written.db"));
  const std::pair<int, QMessageBox::Icon> styles[] = {{vbOKOnly, QMessageBox::NoIcon},
                                                      {vbCritical, QMessageBox::Critical},
                                                      {vbExclamation, QMessageBox::Warning},
                                                      {vbInformation, QMessageBox::Information}};
  for (const auto& [style, icon] : styles) {
    QString seen;
    QTimer::singleShot(0, [&seen] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      seen = QString("%1|%2|%3|%4|%5")
                 .arg(box->icon())
                 .arg(box->windowTitle(), box->text())
                 .arg(box->standardButtons().toInt())
                 .arg(box->isModal());
      QTest::keyClick(box, Qt::Key_Return);
    });
    port.MsgBox("13 - Type mismatch\r\n\r\nSección cQUARDELINO", style);
    EXPECT_EQ(seen,
              QString::fromUtf8("%1|oQUARDELINO|13 - Type mismatch\n\nSección cQUARDELINO|%2|1")
                  .arg(icon)
                  .arg(int(QMessageBox::Ok)));
  }
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  for (const auto& [pointer, shape] : {std::pair{vbHourglass, int(Qt::WaitCursor)},
                                       {vbArrow, int(Qt::ArrowCursor)},
                                       {vbHourglass, int(Qt::WaitCursor)},
                                       {vbDefault, -1}}) {
    port.SetMousePointer(pointer);
    const QCursor* cursor = QApplication::overrideCursor();
    EXPECT_EQ(cursor ? int(cursor->shape()) : -1, shape) << pointer;
  }
}

}  // namespace
}  // namespace oq::qt
