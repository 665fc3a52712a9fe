#pragma once

#include <QByteArray>
#include <QString>

// The application's commands as the field catalogue calls them when a menu item, toolbar button,
// tree node or popup-menu item is executed, and the application state its command links show
// (checked, disabled, captions), grouped by role. A front end offers the roles it has; a role it
// does not offer is not available, and its items are shown and run as with no application.
//
// Every command runs to completion before it returns; questions and messages go through the
// implementation's own prompter.

// The File menu.
class DocumentRole {
 public:
  virtual ~DocumentRole() = default;

  // New, Open and Save act only while the main window is shown (not during the initial set-up).
  virtual bool mainWindowVisible() const = 0;
  virtual void newDocument() = 0;
  virtual void openDocument() = 0;    // the open dialog, then the file
  virtual void saveDocument() = 0;    // to the current file (the document has one)
  virtual void saveDocumentAs() = 0;  // the save dialog, then the file
  virtual void openRecentFile(int position) = 0;
  // The text a recent-file entry shows (file name alone in the current directory, else the
  // whole path); empty when the entry is unused.
  virtual QString recentFileText(int position) const = 0;
  virtual bool importAvailable() const = 0;
  virtual void importChannels() = 0;
  virtual bool exportAvailable() const = 0;
  virtual void exportChannels() = 0;
  virtual bool canPrintCurrentSheet() const = 0;
  virtual void printCurrentSheet() = 0;
  virtual void printAllSheets() = 0;
  virtual void exitApplication() = 0;
};

// The View and Edit menus and the sheets the tree opens.
class ViewRole {
 public:
  virtual ~ViewRole() = default;

  virtual int fontScalePercent() const = 0;
  virtual void setFontScalePercent(int percent) = 0;
  virtual bool toolbarVisible() const = 0;
  virtual void toggleToolbar() = 0;
  // Items of the top Edit menu, and filling it from a popup-menu stem when it has none.
  virtual int editMenuItemCount() const = 0;
  virtual void fillEditMenu(const QByteArray& stem) = 0;
  virtual void openSheet(const QByteArray& callString) = 0;
};

// The COM port and the clone commands.
class CloneRole {
 public:
  virtual ~CloneRole() = default;

  virtual void comPortDialog() = 0;
  virtual int comSpeed() const = 0;  // 0 normal, 1 high
  virtual void setComSpeed(int speed) = 0;
  virtual void cloneRead() = 0;
  virtual void cloneWrite() = 0;
  virtual void cloneInformation() = 0;
  virtual bool adjustmentAvailable() const = 0;
};

// The Help menu and help on a cell.
class HelpRole {
 public:
  virtual ~HelpRole() = default;

  virtual void about() = 0;
  virtual void helpContents() = 0;
  virtual void contextHelp(int link) = 0;
};

// What every front end gives the catalogue, and the roles it has (null: not available).
class AppCommands {
 public:
  virtual ~AppCommands() = default;

  virtual DocumentRole* documentRole() { return nullptr; }
  virtual ViewRole* viewRole() { return nullptr; }
  virtual CloneRole* cloneRole() { return nullptr; }
  virtual HelpRole* helpRole() { return nullptr; }

  // --- texts the application supplies ------------------------------------------------------
  virtual QByteArray versionText() const = 0;  // "1.00", or the version file's
  virtual QByteArray yearText() const = 0;     // "2022", or the version file's

  // --- notifications from the catalogue ----------------------------------------------------
  // A value of the working image changed: (re)start the delayed warning check.
  virtual void dataChanged() = 0;
  // A key, text or popup command was handled: refresh the status line.
  virtual void refreshStatus() {}
};
