#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "base/filechooser.h"
#include "files/indEnviron.h"
#include "gtex/celllinks.h"
#include "print/cuiPreview.h"
#include "print/cuiPrinter.h"
#include "print_support.h"
#include "sheet/core/DocumentCompare.h"
#include "sheet/ui/SheetWidthStore.h"

namespace {

constexpr const char* kMemory = "[St_ColCut]GI_Sheet_MemoryCH,0,0";

int darkPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); y += 2)
    for (int x = 0; x < image.width(); x += 2) n += qGray(image.pixel(x, y)) < 128;
  return n;
}

}  // namespace

TEST_F(PrintTest, PreviewOfThreePagesShowsOneOfThreeAndPagesOn) {
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  auto writer = pdf(&out);
  PrintLayout layout(services, *writer);
  std::vector<PrintPage> pages = layout.layoutSheet(kMemory);
  ASSERT_GE(pages.size(), 3u);
  pages.resize(3);

  cuiPreview preview(layout, text, 96);
  preview.setPages(pages);
  preview.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
  EXPECT_EQ(preview.windowTitle(), "Kestrin");
  EXPECT_EQ(preview.statusText(), " 1 / 3");
  EXPECT_EQ(preview.pageCountText(), " / 3");
  EXPECT_EQ(preview.pageBox()->text(), "1");
  EXPECT_FALSE(preview.action(cuiPreview::PreviousPage)->isEnabled());
  EXPECT_FALSE(preview.action(cuiPreview::TopPage)->isEnabled());
  // The page at screen size (A4 at 96 dpi), with cells on it.
  EXPECT_EQ(preview.pageImage().size(), QSize(793, 1122));
  const QImage first = preview.pageImage().toImage();
  EXPECT_GT(darkPixels(first), 2000);

  preview.action(cuiPreview::NextPage)->trigger();
  EXPECT_EQ(preview.statusText(), " 2 / 3");
  EXPECT_EQ(preview.pageBox()->text(), "2");
  EXPECT_NE(preview.pageImage().toImage(), first);

  // Keys: End to the last page, Home back to the top; a typed page number goes there.
  QTest::keyClick(&preview, Qt::Key_End);
  EXPECT_EQ(preview.statusText(), " 3 / 3");
  EXPECT_FALSE(preview.action(cuiPreview::NextPage)->isEnabled());
  QTest::keyClick(&preview, Qt::Key_Home);
  EXPECT_EQ(preview.currentPage(), 0);
  preview.pageBox()->setFocus();
  preview.pageBox()->selectAll();
  QTest::keyClicks(preview.pageBox(), "2");
  QTest::keyClick(preview.pageBox(), Qt::Key_Return);
  EXPECT_EQ(preview.statusText(), " 2 / 3");

  preview.action(cuiPreview::Zoom)->trigger();
  EXPECT_NEAR(preview.pageImage().width(), 793 * 2, 1);
  EXPECT_NEAR(preview.pageImage().height(), 1122 * 2, 1);
  EXPECT_FALSE(preview.printChosen());
  preview.action(cuiPreview::Print)->trigger();
  EXPECT_TRUE(preview.printChosen());
}

TEST_F(PrintTest, SettingAFontSizeLaysThePagesOutAgainFromTheFirst) {
  KESTRIN_NEEDS_PDF_TOOLS();
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  auto writer = pdf(&out);
  PrintLayout layout(services, *writer);
  cuiPreview preview(layout, text, 96);
  preview.relayout = [&](int size) {
    layout.setFontSize(size);
    return layout.layoutSheet(kMemory);
  };
  preview.setPages(layout.layoutSheet(kMemory));
  const int atTen = preview.pageCount();
  preview.showPage(1);
  int asked = 0;
  preview.askFontSize = [&](int current) {
    asked = current;
    return 12;
  };
  preview.action(cuiPreview::Setting)->trigger();
  EXPECT_EQ(asked, 10);
  EXPECT_EQ(preview.currentPage(), 0);
  EXPECT_GT(preview.pageCount(), atTen);  // a bigger font needs more pages
  EXPECT_EQ(preview.pages().front().fontHeight, -(12 * 600 / 72));
  EXPECT_EQ(preview.statusText(), QString::asprintf(" 1 / %d", preview.pageCount()));
}

TEST_F(PrintTest, SettingDialogOffersOneToFiveForEightToTwelvePoints) {
  QTimer::singleShot(0, [] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Setting");
    auto* list = dialog->findChild<QComboBox*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), 5);
    EXPECT_EQ(list->currentText(), "2  (9 pt)");  // the item, with its size beside it
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(dialog, Qt::Key_Return);
  });
  EXPECT_EQ(cuiPreview::settingDialog(text, 9, nullptr), 10);
}

// The printing as the main window starts it, with a PDF file where no printer is installed.
class PrinterTest : public PrintTest {
 protected:
  PrinterTest() {
    host.mainWindow = &window;
    host.text = &text;
    host.prompter = &prompter;
    host.chooser = &chooser;
    host.services = services;
    host.sheets = [this] { return treePages(text, parser); };
    window.show();
  }
  std::unique_ptr<cuiPrinter> make() {
    auto p = std::make_unique<cuiPrinter>(host);
    p->printerNames = [] { return QStringList(); };
    p->setupDialog = [](QPrinter&) {
      ADD_FAILURE() << "no print dialog without printers";
      return false;
    };
    p->finished = [this] { done = true; };
    return p;
  }
  void waitDone() {
    for (int i = 0; i < 500 && !done; ++i) QTest::qWait(10);
    ASSERT_TRUE(done);
  }

  QWidget window;
  ScriptedFileChooser chooser;
  PrinterHost host;
  bool done = false;
};

TEST_F(PrinterTest, WithoutPrintersThePagesGoToAPdfFile) {
  KESTRIN_NEEDS_PDF_TOOLS();
  const QString path = dir.filePath("all.pdf");
  chooser.setNextFileName(path);
  auto printer = make();
  int previewed = 0;
  printer->showPreview = [&](cuiPreview& preview) {
    previewed = preview.pageCount();
    EXPECT_FALSE(window.isEnabled());
    EXPECT_TRUE(preview.isEnabled());  // a child of the disabled window, yet usable
    return true;
  };
  printer->printSheets(true);
  waitDone();
  EXPECT_TRUE(window.isEnabled());
  ASSERT_EQ(chooser.log().size(), 1u);
  EXPECT_TRUE(chooser.log()[0].save);
  EXPECT_EQ(chooser.log()[0].request.defaultExtension, "pdf");
  EXPECT_GT(previewed, 3);
  EXPECT_EQ(pdfPages(path), previewed);
  EXPECT_TRUE(pdfText(path).contains("146.010000"));
  EXPECT_TRUE(prompter.log().empty());
}

TEST_F(PrinterTest, CancelStopsAtAPageBoundaryAndEndsTheFileProperly) {
  KESTRIN_NEEDS_PDF_TOOLS();
  for (const bool all : {false, true}) {
    SCOPED_TRACE(all ? "all sheets" : "current sheet");
    const QString path = dir.filePath(all ? "cancel-all.pdf" : "cancel-one.pdf");
    chooser.setNextFileName(path);
    done = false;
    auto printer = make();
    int previewed = 0;
    printer->showPreview = [&](cuiPreview& preview) {
      previewed = preview.pageCount();
      return true;
    };
    printer->pageDrawn = [&](int page) {
      ASSERT_TRUE(printer->progressDialog()->isVisible());
      EXPECT_TRUE(printer->progressDialog()->cancelButton()->isEnabled());
      if (page == 2) QTest::mouseClick(printer->progressDialog()->cancelButton(), Qt::LeftButton);
    };
    printer->printSheets(all, kMemory);
    waitDone();
    ASSERT_GT(previewed, 2);
    EXPECT_EQ(pdfPages(path), 2);
    EXPECT_EQ(pdfText(path, 2).count("Zelk Inc."), 1);
    EXPECT_TRUE(window.isEnabled());
  }
}

TEST_F(PrinterTest, CancellingThePreviewOrTheFilePrintsNothing) {
  auto printer = make();
  printer->printSheets(true);  // no file chosen
  EXPECT_TRUE(done);
  EXPECT_TRUE(window.isEnabled());

  const QString path = dir.filePath("never.pdf");
  chooser.setNextFileName(path);
  done = false;
  printer->showPreview = [](cuiPreview&) { return false; };
  printer->printSheets(false, kMemory);
  EXPECT_TRUE(done);
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_TRUE(window.isEnabled());
  EXPECT_TRUE(prompter.log().empty());
}

TEST_F(PrinterTest, NoPrinterAndNoWayToAFileSaysSo) {
  host.chooser = nullptr;
  auto printer = make();
  printer->printSheets(true);
  EXPECT_TRUE(done);
  ASSERT_EQ(prompter.texts().size(), 1);
  EXPECT_EQ(prompter.texts()[0], "No Printer is connected.\nConnect a printer.");
  EXPECT_EQ(prompter.log()[0].message.caption, "Kestrin");
}

TEST_F(PrinterTest, ProgressDialogIsSizedFromItsLabelAndButton) {
  PrintProgressDialog dialog(text, &window);
  EXPECT_EQ(dialog.windowTitle(), "Print");
  auto* label = dialog.findChild<QLabel*>();
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), "Now Printing");
  EXPECT_EQ(dialog.cancelButton()->text(), "Cancel");
  EXPECT_EQ(dialog.width(), 2 * label->width());
  EXPECT_EQ(dialog.cancelButton()->width(), int(1.2 * label->width()));
  EXPECT_EQ(dialog.height(), 3 * (label->height() + dialog.cancelButton()->height()));
  EXPECT_TRUE(dialog.cancelButton()->isDefault());
  EXPECT_FALSE(dialog.cancelled());
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_TRUE(dialog.cancelled());
}

TEST_F(PrinterTest, StoredColumnWidthsArePrintedScaledAndNeverWider) {
  indEnviron settings("kestrin print test", indEnviron::kKeyPath, indEnviron::kKeyPath, {},
                      ScreenSize{}, EnvironPlace{dir.path(), dir.path()});
  ASSERT_TRUE(settings.isFirstInstance());
  host.settings = &settings;
  // The frequency column narrowed on screen to 20 pixels; the name column stored far wider
  // than it prints.
  const QString key = SettingsWidthStore::keyPath("memory");
  chooser.setNextFileName(dir.filePath("widths.pdf"));
  auto printer = make();
  int freqColumn = -1;
  int nameColumn = -1;
  int builtName = 0;
  {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    auto writer = pdf(&out);
    PrintLayout plain(services, *writer);
    SheetModel& sheet = *plain.sheet(kMemory, plain.baseFontHeight());
    freqColumn = sheet.findSelectableCell(CL_Mch_Freq, 0).column;
    nameColumn = sheet.findSelectableCell(CL_Mch_Name, 0).column;
    ASSERT_GE(freqColumn, 0);
    ASSERT_GE(nameColumn, 0);
  }
  settings.writeInteger(key, QString::number(freqColumn), 20);
  settings.writeInteger(key, QString::number(nameColumn), 5000);
  printer->showPreview = [&](cuiPreview& preview) {
    PrintLayout& layout = *printer->layout();
    SheetModel& sheet = *layout.sheet(kMemory, preview.pages().front().fontHeight);
    const double factor = SettingsWidthStore::printFactor(10, layout.dpi() / 96.0, 100);
    EXPECT_EQ(sheet.columnWidth(freqColumn), int(20 * factor + 0.5));
    builtName = sheet.columnWidth(nameColumn);
    EXPECT_LT(builtName, int(5000 * factor));  // the built width, the smaller one
    return false;
  };
  printer->printSheets(false, kMemory);
  EXPECT_TRUE(done);
  EXPECT_GT(builtName, 0);
}
