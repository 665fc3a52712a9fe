#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <list>
#include <memory>
#include <optional>

#include "app/GuiPrompter.h"
#include "app/ImageLists.h"
#include "app/QtFileChooser.h"
#include "app/RegionalFormats.h"
#include "app/cuiMenu.h"
#include "base/cmcTick.h"
#include "clone/clonecommands.h"
#include "model/appcommands.h"
#include "model/version.h"
#include "session/CloneSession.h"
#include "session/Workspace.h"
#include "sheet/ui/ScreenMeasure.h"
#include "sheet/ui/SheetWidthStore.h"
#include "sheet/ui/cuiSheet.h"

class DocumentUndo;
class EditMenu;
class InstanceHandOver;
class cuiHtmlHelp;
#include <QDialog>
class QLabel;
#include <QMenu>
class QSplitter;
#include "app/cuiProgress.h"
class QStatusBar;
class QWidget;
class TForm1;
class cmcEvMan;
class cmcGTex;
class cmcHelpGTex;
#include "clone/serialdevice.h"
class cmcTask;
class cuiPrinter;
class cuiToolBar;
class cuiTree;
class indCloneMan;
class indEnviron;
struct cmcEvent;

// The five application-wide objects after the application object itself, made by main() (or a
// test) in this order and outliving it.
struct AppObjects {
  indEnviron* settings = nullptr;
  cmcGTex* text = nullptr;
  cmcHelpGTex* help = nullptr;
  cmcEvMan* bus = nullptr;
};

// What stands in for the platform: tests give scripted ones, main() gives none (the real ones).
struct AppSeams {
  Prompter* prompter = nullptr;                   // none: message boxes
  FileChooser* chooser = nullptr;                 // none: the platform's file dialogs
  std::unique_ptr<cmcSerialDevice> serialDevice;  // none: the system's serial ports
  QString programDirectory;  // where the version file lies; empty: the program's own directory
};

// A sheet seen before: where it stood when it was left.
struct SheetRecord {
  QByteArray callString;
  SheetViewPosition position;
};

// The application object behind the main window (model-independent part): the document and
// its commands, the window's parts, the sheet shown and the sheets seen, command routing through
// the field catalogue, and the application events.
class cuiMain : public QObject,
                public AppCommands,
                public DocumentRole,
                public ViewRole,
                public CloneRole,
                public HelpRole,
                public CloneFrontEnd {
  Q_OBJECT

 public:
  cuiMain(const AppObjects& objects, AppSeams seams);
  ~cuiMain() override;

  // Start-up after the five objects exist: makes the main form, builds the window into it and
  // shows it (or leaves it hidden for the initial set-up). A file argument opens once the window
  // shows.
  void start(const QString& fileArgument = {});
  // Builds the whole window into `form`.
  void buildMainWindow(TForm1& form, const ImageLists& images);
  // Listens for files handed over by later starts of the program. They open one at a time
  // once the window is free (no question open, no clone running). When the socket cannot be
  // set up, the user is told why (`setupError`, or the socket's own error).
  void acceptHandOvers(const QString& socketName, const QString& setupError = {});
  // Files handed over and not opened yet.
  const QStringList& queuedFiles() const { return handOvers_; }
  // Shows the initial set-up dialog (TForm2 unless replaced).
  void setInitialSetup(std::function<void()> show) { initialSetup_ = std::move(show); }
  cuiProgress* progressWindow() const { return progress_; }

  // --- the document ------------------------------------------------------------------------
  Workspace& workspace() { return workspace_; }
  Document& document() { return workspace_.document(); }
  FieldCatalogue& catalogue() { return workspace_.catalogue(); }
  FileCommands& files() { return workspace_.files(); }
  DocumentUndo* undo() const { return undo_.get(); }
  Prompter& prompter() { return *prompter_; }
  FileChooser& fileChooser() { return *chooser_; }
  indEnviron& settings() { return *objects_.settings; }
  cmcGTex& text() { return *objects_.text; }
  cmcEvMan& bus() { return *objects_.bus; }
  void updateTitle() override;
  // A note in the status bar's first panel for a few seconds.
  void showPassingStatus(const QString& text);
  // The tree pane width that shows every node's caption whole.
  int treeWidthNeeded() const;

  // --- the window --------------------------------------------------------------------------
  TForm1* form() const { return form_.get(); }
  cuiMenu* mainMenu() const { return menu_.get(); }
  QMenu* editMenu() const { return editMenu_; }
  EditMenu* editCommands() const { return editCommands_; }
  cuiToolBar* toolBar() const { return toolbar_.get(); }
  cuiTree* tree() const { return tree_.get(); }
  QSplitter* splitter() const { return splitter_; }
  QWidget* leftPanel() const { return leftPanel_; }
  QStatusBar* statusBar() const { return statusBar_; }
  const ImageLists& images() const { return images_; }
  QDialog* aboutDialog() const { return about_; }
  QDialog* informationDialog() const { return information_; }
  cuiHtmlHelp* help() const { return help_.get(); }

  // --- sheets ------------------------------------------------------------------------------
  void openSheet(const QByteArray& callString) override;
  void closeSheet();
  cuiSheet* currentSheet() const { return sheet_; }
  const std::list<SheetRecord>& sheetHistory() const { return history_; }
  int sheetsOpened() const { return sheetsOpened_; }

  // The warning check over the pages, marking the tree; the counts.
  WarningCheckResult runWarningCheckOnTree();
  // Executes a cell as a menu item would (key 13), through the dispatcher.
  void execute(const cmcCellObj& cell);

  // The pages the tree shows, in its order: what Print All prints.
  std::vector<QByteArray> treeSheetPages();
  // The printing object, made at first use (tests replace its dialogs through it).
  cuiPrinter& printer();

  const VersionTexts& versionTexts() const { return versions_; }
  const RegionalFormats& formats() const { return formats_; }
  QString programDirectory() const;

  // --- AppCommands: the window has every role --------------------------------------------
  DocumentRole* documentRole() override { return this; }
  ViewRole* viewRole() override { return this; }
  CloneRole* cloneRole() override { return this; }
  HelpRole* helpRole() override { return this; }
  bool mainWindowVisible() const override;
  void newDocument() override;
  void openDocument() override;
  void saveDocument() override;
  void saveDocumentAs() override;
  void openRecentFile(int position) override;
  QString recentFileText(int position) const override;
  bool importAvailable() const override;
  void importChannels() override;
  bool exportAvailable() const override;
  void exportChannels() override;
  bool canPrintCurrentSheet() const override;
  void printCurrentSheet() override;
  void printAllSheets() override;
  void exitApplication() override;
  int fontScalePercent() const override;
  void setFontScalePercent(int percent) override;
  bool toolbarVisible() const override;
  void toggleToolbar() override;
  int editMenuItemCount() const override;
  void fillEditMenu(const QByteArray& stem) override;
  void comPortDialog() override;
  int comSpeed() const override;
  void setComSpeed(int speed) override;
  void cloneRead() override;
  void cloneWrite() override;
  void cloneInformation() override;
  bool adjustmentAvailable() const override;
  void about() override;
  void helpContents() override;
  void contextHelp(int link) override;
  QByteArray versionText() const override { return versions_.version; }
  QByteArray yearText() const override { return versions_.year; }
  void dataChanged() override;
  void refreshStatus() override {}

  // --- CloneFrontEnd: the window's part around the clone commands ------------------------
  bool mainWindowShown() const override { return mainWindowVisible(); }
  void endCellEditing() override;
  bool savePrompt() override;
  void refreshViews() override;
  std::optional<CloneApplication::SettingProblems> countSettingProblems() override;
  void clonedImageTakenOver(uint8_t optionBitsBefore, const QString& previousFile) override;
  void destinationChanged() override;
  void destinationRestored() override;
  void optionFlagAChanged() override;
  void verifyFinished(const VerifyReport& report) override;
  void showCloneInformation() override;
  bool raiseDestinationCheck(int flags) override;

  // The application's answers to the clone commands, over this window's workspace.
  CloneSession& cloneSession() { return cloneSession_; }
  int destination() const { return workspace_.document().destination(); }
  uint8_t optionBits() const { return workspace_.document().options().optionBits(); }

  // The clone manager and its commands (tests drive them against a simulated transceiver).
  indCloneMan& cloneManager() { return *cloneMan_; }
  CloneCommands& cloneCommands() { return *cloneCommands_; }

  // The main timer's work, callable by tests without waiting 50 ms.
  void mainTimerTick();

  // Virtual operations of the application object, in slot order.
  virtual void initModelDescriptor() {}                        // 1
  virtual void buildModelDisplay();                            // 2: the tree
  virtual void takeOverLoadedImage() {}                        // 3
  virtual int openFileByPath(const QString&) { return 1; }     // 4
  virtual void identificationFinished(const CloneOutcome&) {}  // 5

 protected:
  void rebuildTree();
  const AppObjects objects_;

 private:
  void onEvent(const cmcEvent& event);
  bool closeQuery();
  void formClosed();
  void treeSelectionSettled();
  void reopenCurrentSheet(bool selectFrequency, int index);
  void setBusy(bool busy);
  void afterDocumentReplaced();
  void startClone(void (CloneCommands::*command)(CloneCommands::Done), bool information);
  void cloneFinished(const CloneOutcome& outcome, bool information);
  SheetUiServices sheetServices();
  void enableMainForm();
  void bringToFront();
  void fitFrameOnScreen();
  bool readyForQueuedFiles() const;
  void openQueuedFiles();

  AppSeams seams_;
  GuiPrompter guiPrompter_;
  Prompter* prompter_;
  QtFileChooser qtChooser_;
  FileChooser* chooser_;

  Workspace workspace_;
  ScreenMeasure measure_;
  SettingsWidthStore widths_;
  std::unique_ptr<DocumentUndo> undo_;
  std::unique_ptr<indCloneMan> cloneMan_;
  CloneSession cloneSession_;
  std::unique_ptr<CloneCommands> cloneCommands_;

  std::unique_ptr<TForm1> form_;
  ImageLists images_;
  QWidget* leftPanel_ = nullptr;
  QWidget* rightPanel_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
  QLabel* statusText_ = nullptr;
  QLabel* statusSecond_ = nullptr;
  std::unique_ptr<cuiMenu> menu_;
  QMenu* editMenu_ = nullptr;
  EditMenu* editCommands_ = nullptr;
  std::unique_ptr<cuiToolBar> toolbar_;
  std::unique_ptr<cuiTree> tree_;
  QPointer<cuiSheet> sheet_;
  QList<QPointer<cuiSheet>> closedSheets_;
  std::list<SheetRecord> history_;
  bool focusInGrid_ = false;
  bool keepPosition_ = false;
  int sheetsOpened_ = 0;

  cmcTask* mainTimer_ = nullptr;
  cmcTick delayedCheck_;
  VersionTexts versions_;
  RegionalFormats formats_;
  QPointer<QDialog> about_;
  QPointer<QDialog> information_;
  QPointer<cuiProgress> progress_;
  std::unique_ptr<InstanceHandOver> handOver_;
  std::unique_ptr<cuiPrinter> printer_;
  std::unique_ptr<cuiHtmlHelp> help_;
  std::function<void()> initialSetup_;
  QStringList handOvers_;
  QString handOverNotice_;
  bool closing_ = false;
};
