#pragma once

#include <memory>

#include <QDialog>

#include "careful_host/preview.h"

class QTableWidget;
class QLabel;

namespace oq::careful {

// The preview as a small read-only window: one row per item (id, ncm, position, suffix, what ncm
// holds, kept by con LAPI, kept by sin LAPI, FOB) and a totals line under it.
class PreviewWindow : public QDialog {
 public:
  explicit PreviewWindow(const Preview& preview, QWidget* parent = nullptr);

  QTableWidget* table() const { return table_; }
  QLabel* totals() const { return totals_; }

 private:
  QTableWidget* table_;
  QLabel* totals_;
};

}  // namespace oq::careful
