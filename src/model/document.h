#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "model/DestinationOptions.h"
#include "model/cmcClipCh.h"
#include "model/cmcEeprom.h"
#include "model/destinations.h"

class cmcGTex;

// The document the program edits: the working image with the default and saved images beside
// it, the destination with its options, the current file, the modified flag and the channel
// clipboard. The application object of the GUI owns one, the command-line tool owns one, and a
// test builds its own. Nothing here shows a window or asks a question: commands that need the
// user (save prompts, file dialogs) are the owner's, which then calls the plain operations here.
class Document {
 public:
  // `factory` gives the built-in factory image of a destination code. `text` (may be null) is the
  // main resource text, for the untitled name and the application title.
  explicit Document(FactoryImageLookup factory, cmcGTex* text = nullptr);
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // --- images ---------------------------------------------------------------------------------
  cmcEeprom& working() { return working_; }
  const cmcEeprom& working() const { return working_; }
  // The factory image of the current destination (the clone range; the rest is 0).
  const cmcEeprom& defaultImage() const { return default_; }
  // The working image as last saved, opened or reset.
  const cmcEeprom& savedImage() const { return saved_; }

  // --- destination ----------------------------------------------------------------------------
  int destination() const { return destination_.destination(); }
  const DestinationOptions& options() const { return destination_.options(); }
  const BandTable& bands() const { return destination_.bands(); }
  const DestinationModel& destinationModel() const { return destination_; }
  bool isUSA() const { return destination_.isUSA(); }
  bool marineAvailable() const { return destination_.marineAvailable(); }

  // Remembers the code (0..15, 16 for none), rebuilds the band table and the default image and
  // empties the channel clipboard. The working image is left as it is.
  void setDestination(int code);
  // The four radio options in their clone-information bit positions.
  void setOptionBits(uint8_t bits) { destination_.setOptionBits(bits); }
  void setOptions(const DestinationOptions& options);
  // Copies the factory image of the current code (any code outside 0..15 takes 0) into the
  // default image.
  void fillDefaultImage();

  // A destination change as the clone identification or an opened file asks for it. When the
  // code differs from the current one: the destination is changed and, while the main window
  // is not shown (`mainWindowVisible` false), the working image becomes the default image and is
  // marked saved. Then, when `confirmed`: an untitled unmodified document becomes a new one (no
  // question asked); otherwise `image` is conformed to the destination. The owner rebuilds the
  // tree, closes the sheet and tells the bus.
  void changeDestination(cmcEeprom& image, int code, bool confirmed, bool mainWindowVisible);

  // Fits an image to the current destination (on load, before saving or writing).
  void conform(cmcEeprom& image) const { destination_.normaliseImage(image); }
  // Replaces every channel the destination cannot transmit on (before saving or writing).
  void repair(cmcEeprom& image) const { destination_.repairChannels(image); }

  // --- document life --------------------------------------------------------------------------
  // New: the working image becomes the default image, saved and untitled.
  void newDocument();
  // The working image becomes the default image and is marked saved; the file stays.
  void resetToDefault();
  // Takes a loaded image (an opened file or a clone read) over as the working image, conformed
  // to the destination. `file` becomes the current file (empty: untitled); with `modified` the
  // document is marked modified, otherwise saved.
  void takeOver(const cmcEeprom& image, const QString& file, bool modified);

  // --- modified flag and name ------------------------------------------------------------------
  void setModified();
  // Copies the working image into the saved image and clears the flag.
  void markSaved();
  // First sets the flag when the working image differs from the saved image.
  bool isModified();
  // Lets the flag follow the image both ways (undo and redo can return to the saved bytes): set
  // when the working image differs from the saved image, cleared when it no longer does. An
  // image taken over as modified (a clone read) stays modified until it is saved, whatever its
  // bytes. Tells the title listener when the flag changed; returns the flag.
  bool refreshModified();
  bool modifiedFlag() const { return modified_; }

  const QString& currentFile() const { return currentFile_; }
  void setCurrentFile(const QString& path);
  bool isUntitled() const { return currentFile_.isEmpty(); }
  const QString& currentDirectory() const { return currentDirectory_; }
  void setCurrentDirectory(const QString& directory) { currentDirectory_ = directory; }
  // The current file, or the current directory followed by the untitled name ("Untitled").
  QString documentName() const;
  // The file name part of documentName(), " - ", and the application title.
  QString title() const;

  // Called whenever the title may have changed (the file or the modified flag).
  void setTitleListener(std::function<void()> listener) { titleChanged_ = std::move(listener); }
  // Called when the working image becomes another document's (New, a file or a clone read taken
  // over, a switch of destination, the factory image put back): the undo history of the old one
  // ends there.
  void setReplacedListener(std::function<void()> listener) { replaced_ = std::move(listener); }

  // --- the transceiver's clone information (from the last identification) ---------------------
  const CloneInfo& cloneInfo() const { return cloneInfo_; }
  CloneInfo& cloneInfo() { return cloneInfo_; }
  void setCloneInfo(const CloneInfo& info) { cloneInfo_ = info; }

  // --- the channel clipboard -------------------------------------------------------------------
  // Lives as long as the document; emptied whenever the destination changes.
  cmcClipCh& clipboard() { return clipboard_; }
  const cmcClipCh& clipboard() const { return clipboard_; }

 private:
  void titleMayHaveChanged();
  void replaced();

  cmcEeprom working_;
  cmcEeprom default_;
  cmcEeprom saved_;
  DestinationModel destination_;
  cmcClipCh clipboard_;
  CloneInfo cloneInfo_;
  QString currentFile_;
  QString currentDirectory_;
  bool modified_ = false;
  bool unsavedTakeOver_ = false;  // taken over as modified and not saved since
  cmcGTex* text_;
  std::function<void()> titleChanged_;
  std::function<void()> replaced_;
};
