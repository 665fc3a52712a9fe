#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

#include "base/filechooser.h"
#include "base/prompter.h"

class Document;
class cmcEeprom;
struct DestinationOptions;
class cmcEvMan;
class cmcGTex;
class indEnviron;

// What the window around the document does when the commands change it. Any hook may be empty
// (the command-line tool has no window).
struct FileCommandHooks {
  std::function<void()> closeSheet;
  // After a destination change: rebuild the tree's model display.
  std::function<void()> modelDisplayChanged;
  // Before saving: mark the tree's warning nodes.
  std::function<void()> warningCheck;
  // Hourglass cursor on (true) and off (false).
  std::function<void(bool)> busy;
  // After saving changed the working image (repaired channels): run the delayed checks.
  std::function<void()> dataChanged;
  // Runs `apply`, which changes the working image, as one undo step (the channels a save
  // cleared). Without it the change is made directly.
  std::function<void(const std::function<void()>& apply)> recordChange;
};

// The channels, as the sheets label them ("10", "1A", "CALL", "F-1"), whose content differs
// between two images of the same destination.
QStringList changedChannelLabels(const cmcEeprom& before, const cmcEeprom& after,
                                 const DestinationOptions& options);

// Whether a QEV file's check line fits its data lines. Opening a file never looks at it; this
// is for the tool's verify command.
struct QevCheckLine {
  enum Status { Matches, Mismatch, Missing, Unreadable };
  Status status = Unreadable;
  QByteArray stored;    // the 32 hex digits of the file's check line, as written
  QByteArray computed;  // the digest of the file's data lines with the program's salt
};
QevCheckLine verifyQevCheckLine(const QString& path);

// One File menu entry for a recent file.
struct RecentMenuItem {
  QString caption;  // "&1 name.qev", every "&" of the name doubled
  bool enabled = false;
  bool visible = false;
};

// The File commands on one document, without any window: New, Open, Save, Save As, the recent
// files and the save prompt that guards them. Paths come in as arguments or from the FileChooser;
// every question and message goes through the Prompter.
//
// With a settings store, successful opens and saves update its current directory and recent
// list, and a destination switch is stored there. The command-line tool passes none, so a run
// of it leaves the program's settings alone.
class FileCommands {
 public:
  // When the destination of an opened file differs from the document's.
  enum class DestinationPolicy {
    Ask,        // the question of the program: Yes switches, No adapts the data, Cancel stops
    AdoptFile,  // switch to the file's destination without asking; a file that names none
                // (code 16) is taken at the document's destination
    AdaptData,  // keep the document's destination and adapt the data without asking
  };

  FileCommands(Document& document, Prompter& prompter, cmcGTex& text,
               indEnviron* settings = nullptr, cmcEvMan* bus = nullptr);

  void setChooser(FileChooser* chooser) { chooser_ = chooser; }
  void setHooks(FileCommandHooks hooks) { hooks_ = std::move(hooks); }
  void setDestinationPolicy(DestinationPolicy policy) { policy_ = policy; }

  // Guards a command that would drop unsaved changes. Yes when nothing needs saving or the save
  // succeeded, No to drop the changes, Cancel to stop the command (also after a failed or
  // cancelled save). `generic` asks without the file name and saves through Save As.
  PromptAnswer savePrompt(bool generic);

  // New: the factory image of the destination, untitled and saved. False when cancelled.
  bool newDocument();
  // Open with the chooser; 0 when a file was opened.
  int openDialog();
  // 0 when `path` was opened; 1 on failure (already shown) or cancel.
  int openFile(const QString& path);
  // Save to the current file, or Save As when untitled. 0 on success.
  int save();
  // 0 when saved; nonzero on failure or cancel.
  int saveAsDialog();
  // Writes the working image to `path`; the file result code (0 on success, failure shown).
  int saveFile(const QString& path);

  // The File menu's recent entry n (0..3) and its command.
  RecentMenuItem recentItem(int n) const;
  int openRecent(int n);

  // The file result code of the last open or save: 0, a code 1..10, or -1 for a cancel.
  int lastFileResult() const { return lastResult_; }
  // The destination code written in the last file read (also when it was not taken over).
  int lastFileDestination() const { return lastFileDestination_; }
  // Whether the last successful open adapted the data to the document's destination.
  bool lastOpenAdapted() const { return lastOpenAdapted_; }

 private:
  enum class Switch { Adopt, Adapt, Cancel };
  Switch askDestinationSwitch();
  void rememberFile(const QString& path);
  void commitEditor();
  void documentChanged();
  QString appTitle() const;

  Document& document_;
  Prompter& prompter_;
  cmcGTex& text_;
  indEnviron* settings_;
  cmcEvMan* bus_;
  FileChooser* chooser_ = nullptr;
  FileCommandHooks hooks_;
  DestinationPolicy policy_ = DestinationPolicy::Ask;
  int lastResult_ = 0;
  int lastFileDestination_ = -1;
  bool lastOpenAdapted_ = false;
};
