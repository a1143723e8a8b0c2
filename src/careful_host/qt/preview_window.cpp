#include "careful_host/qt/preview_window.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "careful_host/preview_output.h"

namespace oq::careful {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

QString TotalsText(const Preview& preview) {
  const auto part = [](const char* what, const PreviewTotals& totals) {
    return QStringLiteral("%1: %2 items, FOB %3")
        .arg(QString::fromUtf8(what))
        .arg(totals.items)
        .arg(Text(FobText(totals.fob)));
  };
  return part("con LAPI", preview.con) + QStringLiteral("   ") + part("sin LAPI", preview.sin) +
         QStringLiteral("   ") + part("neither", preview.neither) +
         QStringLiteral("   source FOB %1").arg(Text(SourceFobShown(preview)));
}

}  // namespace

PreviewWindow::PreviewWindow(const Preview& preview, QWidget* parent)
    : QDialog(parent), table_(new QTableWidget(this)), totals_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("oQUARDELINO - preview of %1").arg(Text(preview.source)));
  const QStringList headers = {"id", "ncm", "position", "suffix", "ncm holds", "con", "sin", "FOB"};
  table_->setColumnCount(static_cast<int>(headers.size()));
  table_->setHorizontalHeaderLabels(headers);
  table_->setRowCount(static_cast<int>(preview.items.size()));
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->setVisible(false);
  int row = 0;
  for (const PreviewItem& item : preview.items) {
    const QStringList cells = {QString::number(item.id),
                               Text(item.ncm),
                               Text(item.position),
                               Text(item.suffix),
                               Text(item.mark),
                               item.conKeeps ? "yes" : "no",
                               item.sinKeeps ? "yes" : "no",
                               Text(FobText(item.fob))};
    for (int column = 0; column < cells.size(); ++column) {
      table_->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    ++row;
  }
  table_->resizeColumnsToContents();
  totals_->setText(TotalsText(preview));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addWidget(totals_);
  resize(760, 480);
}

}  // namespace oq::careful
