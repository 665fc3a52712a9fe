#include "model/document.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "base/textcodec.h"
#include "gtex/cmcGTex.h"
#include "model/memorymap.h"

namespace {

QString resourceLine(cmcGTex* text, const char* section) {
  if (!text || !text->hasSection(section)) return QString();
  return text->lineText(section);
}

}  // namespace

Document::Document(FactoryImageLookup factory, cmcGTex* text)
    : working_(memmap::kImageSize),
      default_(memmap::kImageSize),
      destination_(default_, factory),
      text_(text) {
  destination_.setDestinationChangedListener([this] { clipboard_.clear(); });
  saved_.assign(working_);
}

void Document::setDestination(int code) { destination_.setDestination(code); }

void Document::setOptions(const DestinationOptions& options) {
  destination_.setOptionBits(options.optionBits());
  if (options.destination != destination()) setDestination(options.destination);
}

void Document::fillDefaultImage() { destination_.buildDefaultImage(); }

void Document::changeDestination(cmcEeprom& image, int code, bool confirmed,
                                 bool mainWindowVisible) {
  if (code != destination()) {
    setDestination(code);
    if (!mainWindowVisible) resetToDefault();
  }
  if (confirmed) {
    if (isUntitled() && !isModified()) {
      newDocument();
    } else {
      conform(image);
    }
  }
  replaced();
}

void Document::newDocument() {
  working_.assign(default_);
  currentFile_.clear();
  markSaved();
  replaced();
}

void Document::resetToDefault() {
  working_.assign(default_);
  markSaved();
  replaced();
}

void Document::replaced() {
  if (replaced_) replaced_();
}

void Document::takeOver(const cmcEeprom& image, const QString& file, bool modified) {
  // A smaller image (a bare clone range) keeps the rest of the working image's bytes at 0.
  cmcEeprom fresh(working_.size());
  fresh.writeBlock(0, image.data(), std::min(image.size(), fresh.size()));
  conform(fresh);
  working_.assign(fresh);
  currentFile_ = file;
  if (modified) {
    unsavedTakeOver_ = true;
    setModified();
  } else {
    markSaved();
  }
  replaced();
}

void Document::setModified() {
  modified_ = true;
  titleMayHaveChanged();
}

void Document::markSaved() {
  saved_.assign(working_);
  modified_ = false;
  unsavedTakeOver_ = false;
  titleMayHaveChanged();
}

bool Document::isModified() {
  if (!modified_ && working_.differs(saved_)) setModified();
  return modified_;
}

bool Document::refreshModified() {
  const bool modified = unsavedTakeOver_ || working_.differs(saved_);
  if (modified != modified_) {
    modified_ = modified;
    titleMayHaveChanged();
  }
  return modified_;
}

void Document::setCurrentFile(const QString& path) {
  currentFile_ = path;
  titleMayHaveChanged();
}

QString Document::documentName() const {
  if (!currentFile_.isEmpty()) return currentFile_;
  QString dir = currentDirectory_;
  // Qt's own separator on every system; a Windows folder may still end in its own.
  if (!dir.isEmpty() && !dir.endsWith('/') && !dir.endsWith(QDir::separator())) dir += '/';
  return dir + resourceLine(text_, "GI_QEV_New_File_Name");
}

QString Document::title() const {
  return QFileInfo(documentName()).fileName() + " - " + resourceLine(text_, "GI_Sys_AppTitle");
}

void Document::titleMayHaveChanged() {
  if (titleChanged_) titleChanged_();
}
