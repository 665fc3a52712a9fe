#include <QApplication>
#include <QDir>
#include <QTest>

#include "print/cuiPreview.h"
#include "print/cuiPrinter.h"
#include "print_support.h"

// Pictures of the preview for a person to look at: written only when KESTRIN_PRINT_SHOTS names a
// directory (run under xvfb-run for the real platform's fonts).

namespace {

class PrintShots : public PrintTest {
 protected:
  void SetUp() override {
    shots = qEnvironmentVariable("KESTRIN_PRINT_SHOTS");
    if (shots.isEmpty()) GTEST_SKIP() << "KESTRIN_PRINT_SHOTS not set";
    QDir().mkpath(shots);
  }
  void save(QWidget* w, const QString& name) {
    QApplication::processEvents();
    EXPECT_TRUE(w->grab().save(shots + "/" + name));
  }
  QString shots;
};

TEST_F(PrintShots, PreviewAndProgress) {
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  auto writer = pdf(&out);
  PrintLayout layout(services, *writer);
  cuiPreview preview(layout, text, 96);
  preview.setPages(layout.layoutSheet("[St_ColCut]GI_Sheet_MemoryCH,0,0"));
  preview.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
  save(&preview, "preview.png");
  preview.action(cuiPreview::Zoom)->trigger();
  save(&preview, "preview-zoom.png");

  QWidget owner;
  owner.resize(800, 600);
  owner.show();
  PrintProgressDialog progress(text, &owner);
  progress.show();
  save(&progress, "progress.png");
}

}  // namespace
