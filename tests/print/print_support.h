#pragma once

// The program's resource text, a document on the factory image and its catalogue: what the
// printing lays out, as the main window lends it.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#include "base/prompter.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "model/catalogue.h"
#include "model/cmcCellCapsule.h"
#include "model/document.h"
#include "print/PrintLayout.h"
#include "resources/embedded_text.h"
#include "resources/factory/factory_images.h"
#include "sheet/core/SheetEnvironment.h"
#include "support/TestWorkspace.h"

// The checks of written PDF files read them with Poppler's command-line tools.
#define KESTRIN_NEEDS_PDF_TOOLS()                            \
  if (QStandardPaths::findExecutable("pdfinfo").isEmpty() || \
      QStandardPaths::findExecutable("pdftotext").isEmpty()) \
  GTEST_SKIP() << "needs pdfinfo and pdftotext"

class PrintTest : public ::testing::Test, public TestWorkspace {
 protected:
  PrintTest() {
    services.sheet.text = &text;
    services.sheet.parser = &parser;
    services.sheet.environment = env;
    services.answer = [this](cmcCellCapsule& r) { catalogue->dispatch(r, false); };
    services.version = "1.00";
  }

  // A PDF page of `size` millimetres at `dpi`, without margins of its own.
  static std::unique_ptr<QPdfWriter> pdf(QIODevice* out, int dpi = 600, QSizeF size = {210, 297}) {
    auto writer = std::make_unique<QPdfWriter>(out);
    writer->setResolution(dpi);
    writer->setPageLayout(
        QPageLayout(QPageSize(size, QPageSize::Millimeter), QPageLayout::Portrait, QMarginsF()));
    return writer;
  }

  // Text of page `page` (1-based) of a PDF file, or of all pages when 0, as pdftotext gives it.
  static QString pdfText(const QString& path, int page = 0) {
    QStringList args;
    if (page > 0) args << "-f" << QString::number(page) << "-l" << QString::number(page);
    args << "-layout" << path << "-";
    QProcess p;
    p.start("pdftotext", args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
  }
  static int pdfPages(const QString& path) {
    QProcess p;
    p.start("pdfinfo", {path});
    p.waitForFinished(30000);
    if (p.exitCode() != 0) return -1;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
      if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
    return -1;
  }

  PrintServices services;
  QTemporaryDir dir;
};
