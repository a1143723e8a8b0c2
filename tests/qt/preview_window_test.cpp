// The program's preview window: a row per item and the totals under the table.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTableWidget>

#include "preview_window.h"

namespace oq::app {
namespace {

TEST(PreviewWindowTest, ShowsEveryItemAndTheTotals) {
  Preview preview;
  preview.items = {{1, "1111111111 001", "1111111111", "001", "*", 2.5, true, false},
                   {2, "", "", "", "not found", 4, false, false}};
  preview.con = {1, 2.5};
  preview.neither = {1, 4};
  preview.sourceFob = 6.5;
  const PreviewWindow window(preview);
  ASSERT_EQ(window.table()->rowCount(), 2);
  EXPECT_EQ(window.table()->item(0, 4)->text() + window.table()->item(0, 5)->text() +
                window.table()->item(1, 4)->text(),
            "*yesnot found");
  EXPECT_EQ(window.totals()->text(),
            "con LAPI: 1 items, FOB 2.5   sin LAPI: 0 items, FOB 0   neither: 1 items, FOB 4   "
            "source FOB 6.5");
}

}  // namespace
}  // namespace oq::app
