#include <QDir>
#include <QPainter>

#include "sheet/ui/cuiFlector.h"
#include "sheetui_support.h"

// Pictures of real sheets for a person to look at: written only when KESTRIN_SHEET_SHOTS names
// a directory (run under xvfb-run for the real platform's fonts).

namespace {

class Screenshots : public SheetUiTest {
 protected:
  void SetUp() override {
    dir = qEnvironmentVariable("KESTRIN_SHEET_SHOTS");
    if (dir.isEmpty()) GTEST_SKIP() << "KESTRIN_SHEET_SHOTS not set";
    QDir().mkpath(dir);
  }
  void save(QWidget* w, const QString& name) {
    QApplication::processEvents();
    EXPECT_TRUE(w->grab().save(dir + "/" + name));
  }
  QString dir;
};

TEST_F(Screenshots, MemoryCommonAndDropDown) {
  window.resize(1280, 800);
  setChannel(0, 145500000);
  setChannel(1, 146520000);
  setChannel(2, 433500000);  // outside the band: a mark
  open("[St_ColCut]GI_Sheet_MemoryCH,0,0");
  select(CL_Mch_Freq, 1);
  save(&window, "memory.png");

  open("[St_Common]GI_Sheet_Common,7");
  select(CL_Common_Beep, 0);
  save(&window, "common.png");

  QTest::keyClick(grid(), Qt::Key_Return);
  QWidget* list = sheet->openPopupWindow();
  ASSERT_NE(list, nullptr);
  QApplication::processEvents();
  // The window and its list in one picture, the list where it stands on the screen.
  QImage shot = window.grab().toImage();
  QPainter p(&shot);
  p.drawPixmap(window.mapFromGlobal(list->geometry().topLeft()), list->grab());
  p.end();
  EXPECT_TRUE(shot.save(dir + "/dropdown.png"));
  QTest::keyClick(list, Qt::Key_Escape);

  select(CL_Common_BankLink_A_J, 0);
  QTest::keyClick(grid(), Qt::Key_Return);
  QWidget* bits = sheet->openPopupWindow();
  ASSERT_NE(bits, nullptr);
  QApplication::processEvents();
  save(bits, "flagbits.png");
}

}  // namespace
