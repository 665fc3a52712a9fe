#include "print/cuiPrinter.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "base/cmcTask.h"
#include "base/filechooser.h"
#include "base/prompter.h"
#include "base/textcodec.h"
#include "files/indEnviron.h"
#include "gtex/cmcGTex.h"
#include "print/cuiPreview.h"
#include "sheet/ui/SheetWidthStore.h"

namespace {

QString textLine(cmcGTex& text, const char* key, int n, const char* fallback) {
  if (!text.hasSection(key)) return QString::fromLatin1(fallback);
  const QString s = text.lineText(key, n);
  return s.isEmpty() || s.startsWith(QLatin1Char('#')) ? QString::fromLatin1(fallback) : s;
}

QString sectionText(cmcGTex& text, const char* key) {
  return text.hasSection(key) ? fromCp932(text.getSectionText(key)).trimmed() : QString();
}

// Centred over the owner, then pulled into the work area (right, left, bottom, top).
void centreOver(QWidget* dialog, const QWidget* owner) {
  const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const QRect frame = owner ? owner->frameGeometry() : area;
  QPoint at(frame.left() + (frame.width() - dialog->width()) / 2,
            frame.top() + (frame.height() - dialog->height()) / 2);
  if (at.x() + dialog->width() > area.right() + 1) at.setX(area.right() + 1 - dialog->width());
  if (at.x() < area.left()) at.setX(area.left());
  if (at.y() + dialog->height() > area.bottom() + 1) at.setY(area.bottom() + 1 - dialog->height());
  if (at.y() < area.top()) at.setY(area.top());
  dialog->move(at);
}

}  // namespace

PrintProgressDialog::PrintProgressDialog(cmcGTex& text, QWidget* owner) : QDialog(owner) {
  setWindowTitle(textLine(text, "GI_Sys_Printer_PrintingDialog", 0, "Print"));
  auto* label =
      new QLabel(textLine(text, "GI_Sys_Printer_PrintingDialog", 1, "Now Printing"), this);
  cancel_ = new QPushButton(textLine(text, "GI_Sys_Printer_PrintingDialog", 2, "Cancel"), this);
  cancel_->setDefault(true);
  cancel_->setAutoDefault(true);
  label->adjustSize();
  const int lw = label->width();
  const int lh = label->height();
  const int bh = cancel_->sizeHint().height();
  const int bw = static_cast<int>(1.2 * lw);
  setFixedSize(2 * lw, 3 * (lh + bh));
  label->move((width() - lw) / 2, 2 * lh);
  cancel_->setGeometry((width() - bw) / 2, height() - bh * 3 / 2, bw, bh);
  connect(cancel_, &QPushButton::clicked, this, [this] { cancelled_ = true; });
  centreOver(this, owner);
}

void PrintProgressDialog::reject() { cancelled_ = true; }

cuiPrinter::cuiPrinter(PrinterHost host, QObject* parent)
    : QObject(parent), host_(std::move(host)) {
  printerNames = [] { return QPrinterInfo::availablePrinterNames(); };
  setupDialog = [this](QPrinter& printer) {
    QPrintDialog dialog(&printer, host_.mainWindow);
    return dialog.exec() == QDialog::Accepted;
  };
  showPreview = [](cuiPreview& preview) {
    preview.exec();
    return preview.printChosen();
  };
}

cuiPrinter::~cuiPrinter() { release(); }

bool cuiPrinter::setUp() {
  cmcGTex& text = *host_.text;
  printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  if (printerNames().isEmpty()) {
    // No printer installed: a PDF file is always possible.
    if (!host_.chooser) {
      const QString caption = sectionText(text, "GI_Sys_AppTitle");
      if (host_.prompter)
        host_.prompter->inform(caption, sectionText(text, "GI_Sys_Printer_NoPrinter"),
                               PromptIcon::Error);
      return false;
    }
    FileDialogRequest request;
    request.defaultExtension = QStringLiteral("pdf");
    request.filter = QStringLiteral("PDF files (*.pdf)|*.pdf|All files (*.*)|*.*");
    request.proposedName = QStringLiteral("kestrin.pdf");
    if (host_.settings) request.initialDirectory = host_.settings->currentDirectory();
    const QString path = host_.chooser->chooseSavePath(request);
    if (path.isEmpty()) return false;
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(path);
    printer_->setFullPage(true);
    return true;
  }
  return setupDialog(*printer_);
}

void cuiPrinter::printSheets(bool all, const QByteArray& currentCall) {
  if (printing_) return;
  if (host_.endEditing) host_.endEditing();
  if (!setUp()) {
    printer_.reset();
    if (finished) finished();
    return;
  }
  printing_ = true;
  cmcGTex& text = *host_.text;
  if (host_.mainWindow) host_.mainWindow->setEnabled(false);
  progress_ = new PrintProgressDialog(text, host_.mainWindow);
  progress_->setEnabled(true);

  printer_->setCopyCount(1);
  PrintServices services = host_.services;
  if (host_.settings) {
    services.fontSize = host_.settings->fontSizePrinter();
    services.fontScalePercent = host_.settings->fontSizePercentage();
    // The widths the user gave the columns, scaled for the printer; read afresh for each job.
    if (!services.sheet.widths) {
      widths_ = std::make_unique<SettingsWidthStore>(*host_.settings, text);
      services.sheet.widths = widths_.get();
    }
  }
  layout_ = std::make_unique<PrintLayout>(services, *printer_);

  std::vector<QByteArray> calls;
  if (all) {
    if (host_.sheets) calls = host_.sheets();
  } else if (!currentCall.isEmpty()) {
    calls.push_back(currentCall);
  }
  auto layOut = [this, calls, all] {
    std::vector<PrintPage> pages;
    for (const QByteArray& call : calls) {
      std::vector<PrintPage> sheet = layout_->layoutSheet(call, all);
      pages.insert(pages.end(), sheet.begin(), sheet.end());
    }
    return pages;
  };

  cuiPreview preview(*layout_, text, services.screenDpi, host_.mainWindow);
  preview.setEnabled(true);
  preview.fontSize = services.fontSize;
  preview.relayout = [this, layOut](int size) {
    if (host_.settings) host_.settings->setFontSizePrinter(size);
    layout_->setFontSize(size);
    return layOut();
  };
  preview.setPages(layOut());
  const bool print = showPreview(preview);
  std::vector<PrintPage> pages = preview.pages();
  if (!print || pages.empty()) {
    release();
    if (finished) finished();
    return;
  }

  progress_->show();
  painter_ = std::make_unique<QPainter>();
  pagesDrawn_ = 0;
  if (!all) {
    started_ = painter_->begin(printer_.get());
    if (started_) {
      drawPages(pages);
    } else {
      jobFailed();
    }
    release();
    if (finished) finished();
    return;
  }
  // One sheet per tick: the pages grouped by sheet, in order.
  sheetPages_.clear();
  for (const PrintPage& page : pages) {
    if (sheetPages_.empty() || sheetPages_.back().front().callString != page.callString)
      sheetPages_.emplace_back();
    sheetPages_.back().push_back(page);
  }
  sheetIndex_ = 0;
  started_ = false;
  task_ = new cmcTask(this);
  task_->SetCallback([this](void*, cmcTask*) { printAllTick(); });
  task_->SetInterval(1);
}

void cuiPrinter::printAllTick() {
  if (!started_) {
    started_ = painter_->begin(printer_.get());
    if (!started_) {
      jobFailed();
      release();
      if (finished) finished();
      return;
    }
  }
  const bool cancelled = progress_ && progress_->cancelled();
  if (sheetIndex_ < sheetPages_.size() && !cancelled) {
    if (drawPages(sheetPages_[sheetIndex_++])) return;
  }
  release();
  if (finished) finished();
}

bool cuiPrinter::drawPages(const std::vector<PrintPage>& pages) {
  for (const PrintPage& page : pages) {
    QApplication::processEvents();  // Cancel and repaints between pages
    if (progress_ && progress_->cancelled()) return false;
    if (pagesDrawn_ > 0) printer_->newPage();
    layout_->drawPage(*painter_, page);
    ++pagesDrawn_;
    if (pageDrawn) pageDrawn(pagesDrawn_);
  }
  return true;
}

void cuiPrinter::jobFailed() {
  // The job could not start: a PDF file that cannot be written, a printer that went away.
  if (!host_.prompter) return;
  cmcGTex& text = *host_.text;
  host_.prompter->inform(sectionText(text, "GI_Sys_AppTitle"),
                         sectionText(text, "GI_Mess_FileErr_Headline") + QLatin1Char('\n') +
                             sectionText(text, "GI_Mess_FileErr_FileAccess"),
                         PromptIcon::Error);
}

void cuiPrinter::release() {
  if (task_) {
    cmcTask::Dispose(task_);
    task_ = nullptr;
  }
  if (painter_ && painter_->isActive()) painter_->end();
  painter_.reset();
  if (progress_) {
    progress_->hide();
    progress_->deleteLater();
  }
  progress_.clear();
  layout_.reset();
  widths_.reset();
  printer_.reset();
  sheetPages_.clear();
  if (host_.mainWindow) host_.mainWindow->setEnabled(true);
  printing_ = false;
  started_ = false;
}
