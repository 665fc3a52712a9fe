#include <QAction>
#include <QMenu>
#include <functional>

#include "sheetui_support.h"

// Items of a cell's right-click menu chosen in the real menu, with the mouse and with the
// keyboard, as a person does. The same tests run under a window manager (see CMakeLists.txt).

namespace {

constexpr const char* kMemory = "[St_ColCut]GI_Sheet_MemoryCH,0,0";

class PopupChoice : public SheetUiTest {
 protected:
  // Opens the current cell's menu as the user does and waits until it shows.
  QMenu* openMenu(bool mouse) {
    QMenu* menu = sheet->popupMenu();
    if (mouse) {
      QTest::mouseClick(grid()->viewport(), Qt::RightButton, {},
                        centreOf(sheet->currentCell()));
    } else {
      QTest::keyClick(grid(), Qt::Key_Menu);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 3000));
    EXPECT_TRUE(QTest::qWaitForWindowExposed(menu));
    return menu;
  }

  static QAction* itemOf(QMenu* menu, const QString& caption) {
    for (QAction* a : menu->actions())
      if (a->text() == caption) return a;
    return nullptr;
  }

  // Chooses the item with `caption` from the cell's menu.
  void choose(const QString& caption, bool mouse) {
    QMenu* menu = openMenu(mouse);
    ASSERT_TRUE(menu->isVisible());
    QAction* item = itemOf(menu, caption);
    ASSERT_NE(item, nullptr) << caption.toStdString();
    ASSERT_TRUE(item->isEnabled()) << caption.toStdString();
    if (mouse) {
      QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    } else {
      for (int n = 0; n < menu->actions().size() && menu->activeAction() != item; ++n)
        QTest::keyClick(menu, Qt::Key_Down);
      ASSERT_EQ(menu->activeAction(), item);
      QTest::keyClick(menu, Qt::Key_Return);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible(); }, 3000));
    // Deferred deletions and the focus coming back.
    QTest::qWait(20);
  }

  uint32_t freq(int index) {
    const ChannelView v = channel(index);
    return v.inUse ? v.frequency : 0;
  }
};

TEST_F(PopupChoice, EveryRowCommandRunsOnTheCellItWasChosenFor) {
  struct Case {
    const char* item;
    int channel;  // chosen on this channel's frequency cell
    std::vector<uint32_t> after;  // channels 0..3 afterwards (0: empty)
    int currentAfter;             // the channel of the current cell afterwards
  };
  const Case cases[] = {
      {"Up", 1, {146000000, 145500000, 147000000, 0}, 0},
      {"Down", 1, {145500000, 147000000, 146000000, 0}, 2},
      {"Clear", 1, {145500000, 0, 147000000, 0}, 1},
      {"Delete", 1, {145500000, 147000000, 0, 0}, 1},
      {"Insert", 1, {145500000, 0, 146000000, 147000000}, 1},
  };
  for (bool mouse : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.item) + (mouse ? " with the mouse" : " with the keyboard"));
      for (int i = 0; i < 4; ++i) {
        ChannelView v = channel(i);
        v.inUse = false;
        v.commit();
      }
      setChannel(0, 145500000);
      setChannel(1, 146000000);
      setChannel(2, 147000000);
      open(kMemory);
      select(CL_Mch_Freq, c.channel);
      choose(QString::fromLatin1(c.item), mouse);
      ASSERT_FALSE(HasFatalFailure());
      for (int i = 0; i < 4; ++i) EXPECT_EQ(freq(i), c.after[size_t(i)]) << "channel " << i;
      EXPECT_EQ(sheet->currentCell(), cellOf(CL_Mch_Freq, c.currentAfter));
      // The menu is still the cell's, whole, for the next choice.
      EXPECT_EQ(sheet->popupMenu()->actions().size(), 13);
    }
  }
}

TEST_F(PopupChoice, CopyThenPasteFromTheMenu) {
  for (bool mouse : {true, false}) {
    SCOPED_TRACE(mouse ? "mouse" : "keyboard");
    setChannel(0, 145500000);
    ChannelView empty = channel(5);
    empty.inUse = false;
    empty.commit();
    open(kMemory);
    select(CL_Mch_Freq, 0);
    choose(QStringLiteral("Copy"), mouse);
    ASSERT_FALSE(HasFatalFailure());
    select(CL_Mch_Freq, 5);
    choose(QStringLiteral("Paste"), mouse);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(freq(5), 145500000u);
    EXPECT_EQ(freq(0), 145500000u);
  }
}

}  // namespace
