// The program's dialog: each F11 is one transaction, and a run that failed says so in the log.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include "guarded_dialog.h"
#include "host/basGLOBAL.h"
#include "host/cMAIN.h"
#include "platform/qt/form_window.h"
#include "support/faulty_connection.h"
#include "support/recording_platform.h"
#include "support/session.h"
#include "support/test_database.h"

namespace oq::qt {
namespace {

TEST(GuardedDialogTest, AFailedRunWritesNothingAndSaysSoAndTheNextOneCommits) {
  test::TestDatabase db(test::AvailableBackends().front());
  db.InsertInterno("A", 1, 2, 3);
  auto faulty = std::make_shared<test::FaultyConnection>(db.internos());
  faulty->failAt(3);  // the first run's cover sheet
  app::RunGuard guard(faulty, dynamic_cast<connectors::TransactionControl*>(db.internos().get()),
                      {}, {});
  test::SetUpSession(
      {guard.connection(), db.ncm(), "'2024-05-17'", "A", test::MakeDataAccessManager(), 0});
  auto platform = std::make_shared<test::RecordingPlatform>();
  app::InstallGuardedQtForm(guard, platform);

  QString firstLog;
  long afterFirst = -1;
  QTimer::singleShot(0, [&] {
    auto* window = qobject_cast<FormWindow*>(QApplication::activeModalWidget());
    ASSERT_NE(window, nullptr);
    auto* number = qobject_cast<QLineEdit*>(window->WidgetFor("Text1"));
    number->selectAll();
    QTest::keyClicks(number, "N");
    QTest::keyClick(number, Qt::Key_F11);
    firstLog = qobject_cast<QPlainTextEdit*>(window->WidgetFor("txtLOG"))->toPlainText();
    afterFirst = db.Count("facturas", "N");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F11);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  });
  cMAIN().Mostrar();

  EXPECT_TRUE(firstLog.startsWith("Error en agregar la Caratula N")) << firstLog.toStdString();
  EXPECT_TRUE(
      firstLog.endsWith("Proceso terminado...\nNothing was written: a statement failed: "
                        "injected failure; the database is as it was before the run.\n"))
      << firstLog.toStdString();
  EXPECT_EQ(afterFirst, 0);  // the invoices went before the cover sheet failed
  EXPECT_EQ(db.Count("caratula", "N"), 1);
  EXPECT_EQ(db.Count("subitems", "N"), 3);
  SetMainFormFactory({});
  basGLOBAL::Reset();
}

}  // namespace
}  // namespace oq::qt
