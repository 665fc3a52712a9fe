#pragma once

#include <QByteArray>
#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "print/PrintLayout.h"

class FileChooser;
class Prompter;
class QPainter;
class QPrinter;
class QPushButton;
class SettingsWidthStore;
class cmcGTex;
class cmcTask;
class cuiPreview;
class indEnviron;

// What the main window lends the printing: its window, texts, questions, settings, the sheets of
// its tree and how a cell answers.
struct PrinterHost {
  QWidget* mainWindow = nullptr;  // disabled while printing
  cmcGTex* text = nullptr;
  Prompter* prompter = nullptr;
  FileChooser* chooser = nullptr;  // asks for the PDF file when no printer is installed
  indEnviron* settings = nullptr;  // "FontSize Printer"; may be null (size 10)
  PrintServices services;          // sheet services, the cell answer, version, screen resolution
  std::function<std::vector<QByteArray>()> sheets;  // the tree's pages, in tree order
  std::function<void()> endEditing;
};

// The "Print" progress dialog: "Now Printing" and one Cancel button, sized from its label and
// button. Cancel raises the flag the printing looks at before each page.
class PrintProgressDialog : public QDialog {
  Q_OBJECT
 public:
  PrintProgressDialog(cmcGTex& text, QWidget* owner);
  bool cancelled() const { return cancelled_; }
  QPushButton* cancelButton() const { return cancel_; }

 protected:
  void reject() override;  // Escape and the close box cancel too

 private:
  QPushButton* cancel_ = nullptr;
  bool cancelled_ = false;
};

// Prints the sheet on screen or every sheet of the tree: the set-up (a printer, or a PDF file
// where none is installed), the preview, then the pages. Printing all sheets draws one sheet
// per timer tick so the window keeps painting.
class cuiPrinter : public QObject {
  Q_OBJECT

 public:
  explicit cuiPrinter(PrinterHost host, QObject* parent = nullptr);
  ~cuiPrinter() override;

  // All sheets, or the sheet with `currentCall`.
  void printSheets(bool all, const QByteArray& currentCall = {});
  bool printing() const { return printing_; }

  // Seams; tests replace them so that no platform dialog opens.
  std::function<QStringList()> printerNames;     // the installed printers
  std::function<bool(QPrinter&)> setupDialog;    // the platform's print dialog; false: cancel
  std::function<bool(cuiPreview&)> showPreview;  // true: print
  std::function<void(int page)> pageDrawn;       // after each page of the job
  std::function<void()> finished;                // after the job ended or was given up

  PrintProgressDialog* progressDialog() const { return progress_; }
  // The layout of the job under way (null between jobs).
  PrintLayout* layout() const { return layout_.get(); }

 private:
  bool setUp();
  void release();
  void jobFailed();
  void printAllTick();
  bool drawPages(const std::vector<PrintPage>& pages);

  PrinterHost host_;
  std::unique_ptr<QPrinter> printer_;
  std::unique_ptr<SettingsWidthStore> widths_;
  std::unique_ptr<PrintLayout> layout_;
  std::unique_ptr<QPainter> painter_;
  QPointer<PrintProgressDialog> progress_;
  cmcTask* task_ = nullptr;
  std::vector<std::vector<PrintPage>> sheetPages_;  // all sheets: pages grouped by sheet
  size_t sheetIndex_ = 0;
  int pagesDrawn_ = 0;
  bool started_ = false;
  bool printing_ = false;
};
