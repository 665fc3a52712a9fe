#pragma once

// A real sheet on screen: the program's own resource text, a document on the factory image, the
// field catalogue and the event bus, and a window to show the sheet in.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <memory>

#include "base/cmcEvMan.h"
#include "base/prompter.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/catalogue.h"
#include "model/document.h"
#include "sheet/core/SheetEnvironment.h"
#include "sheet/ui/cuiGrid.h"
#include "sheet/ui/cuiSheet.h"
#include "resources/factory/factory_images.h"
#include "support/TestWorkspace.h"

inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
  *os << '"' << bytes.toStdString() << '"';
}
inline void PrintTo(const SheetPos& p, std::ostream* os) {
  *os << "(" << p.column << ", " << p.row << ")";
}

class SheetUiTest : public ::testing::Test, public TestWorkspace {
 protected:
  SheetUiTest() : TestWorkspace(CatalogueBus::kOwn) {
    ui.sheet.text = &text;
    ui.sheet.parser = &parser;
    ui.sheet.environment = env;
    ui.sheet.bus = &bus;
    ui.catalogue = catalogue;
    ui.document = &doc;
    ui.prompter = &prompter;
    window.resize(1000, 640);
  }
  ~SheetUiTest() override {
    // Popup windows first: they hold requests of the sheet's cells.
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w != &window && w->isVisible()) w->close();
    QApplication::processEvents();
  }

  cuiSheet* open(const char* callString) {
    delete sheet;
    sheet = cuiSheet::open(callString, ui, &window);
    sheet->resize(window.size());
    sheet->show();
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    sheet->grid()->setFocus();
    QApplication::processEvents();
    return sheet;
  }
  cuiGrid* grid() const { return sheet->grid(); }
  SheetPos cellOf(int link, int index) const {
    return sheet->model().findSelectableCell(link, index);
  }
  void select(int link, int index) { ASSERT_TRUE(sheet->selectPosition(cellOf(link, index))); }
  QPoint centreOf(SheetPos p) const { return grid()->cellRect(p.column, p.row).center(); }
  ChannelView channel(int index) {
    ChannelView v(doc.working(), doc.options());
    v.load(kKindConventional, index);
    return v;
  }
  void setChannel(int index, uint32_t hz) {
    ChannelView v = channel(index);
    v.inUse = true;
    v.frequency = hz;
    v.commit();
  }
  QImage grabGrid() {
    QApplication::processEvents();
    return grid()->viewport()->grab().toImage();
  }

  SheetUiServices ui;
  QWidget window;
  cuiSheet* sheet = nullptr;
};
