#include "files/filecommands.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/cmcEvMan.h"
#include "base/textcodec.h"
#include "files/cmcQevFile.h"
#include "files/indEnviron.h"
#include "files/inputfile.h"
#include "files/messages.h"
#include "files/qevdocument.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/document.h"
#include "model/numbering.h"

namespace {

constexpr int kOpenFailed = 1;
constexpr int kCancelled = -1;

// Hourglass for the length of a file operation, restored on every way out.
class BusyCursor {
 public:
  explicit BusyCursor(const std::function<void(bool)>& busy) : busy_(busy) {
    if (busy_) busy_(true);
  }
  ~BusyCursor() {
    if (busy_) busy_(false);
  }

 private:
  const std::function<void(bool)>& busy_;
};

QString directoryOf(const QString& path) { return QFileInfo(path).absolutePath(); }

QString channelLabel(int kind, int index) {
  if (kind == kKindFunction) return QStringLiteral("F-%1").arg(index + 1);
  if (numbering::isCall(kind, index)) return QStringLiteral("CALL");
  if (numbering::isScanEdge(kind, index)) {
    return QString::fromLatin1(numbering::scanEdgeLabel(index - numbering::kFirstScanEdge));
  }
  return QString::fromLatin1(numbering::labelZeroBased(index));
}

}  // namespace

QStringList changedChannelLabels(const cmcEeprom& before, const cmcEeprom& after,
                                 const DestinationOptions& options) {
  // The views only read here; they need writable images, so they get copies.
  cmcEeprom a;
  cmcEeprom b;
  a.assign(before);
  b.assign(after);
  ChannelView va(a, options);
  ChannelView vb(b, options);
  QStringList labels;
  const auto compare = [&](int kind, int index) {
    va.load(kind, index);
    vb.load(kind, index);
    if (!(va.fields() == vb.fields())) labels << channelLabel(kind, index);
  };
  for (int i = 0; i <= numbering::kCallChannel; ++i) compare(kKindConventional, i);
  for (int i = 0; i < numbering::kFunctionMemoryCount; ++i) compare(kKindFunction, i);
  return labels;
}

FileCommands::FileCommands(Document& document, Prompter& prompter, cmcGTex& text,
                           indEnviron* settings, cmcEvMan* bus)
    : document_(document), prompter_(prompter), text_(text), settings_(settings), bus_(bus) {}

QString FileCommands::appTitle() const { return fromCp932(text_.getValue("GI_Sys_AppTitle")); }

void FileCommands::commitEditor() {
  if (bus_) bus_->send(ev::kCommitEditor);
}

void FileCommands::documentChanged() {
  if (hooks_.closeSheet) hooks_.closeSheet();
  if (bus_) bus_->send(ev::kDataOrSheetChanged);
}

void FileCommands::rememberFile(const QString& path) {
  const QString dir = directoryOf(path);
  document_.setCurrentDirectory(dir);
  if (settings_) {
    settings_->setCurrentDirectory(dir);
    settings_->recent().addFirst(path);
  }
}

PromptAnswer FileCommands::savePrompt(bool generic) {
  commitEditor();
  QString question;
  if (generic) {
    question = fromCp932(text_.getValue("GI_Mess_Confirm_WriteAnother"));
  } else {
    question = fromCp932(text_.getValue("GI_Mess_Confirm_WriteFile"));
    const int at = int(question.indexOf(QLatin1String("%s")));
    if (at >= 0) question.replace(at, 2, QFileInfo(document_.documentName()).fileName());
  }
  if (!document_.isModified()) return PromptAnswer::Yes;

  const PromptAnswer answer = prompter_.ask(PromptMessage{
      appTitle(), question, PromptButtons::YesNoCancel, PromptIcon::Warning, PromptAnswer::Yes});
  if (answer == PromptAnswer::No) return PromptAnswer::No;
  if (answer != PromptAnswer::Yes) return PromptAnswer::Cancel;
  // Opening the very file that is open asks generically: its changes go to another name rather
  // than silently over the file about to be read.
  const int saved =
      document_.isUntitled() || generic ? saveAsDialog() : saveFile(document_.documentName());
  return saved == 0 ? PromptAnswer::Yes : PromptAnswer::Cancel;
}

bool FileCommands::newDocument() {
  if (savePrompt(false) == PromptAnswer::Cancel) return false;
  document_.newDocument();
  documentChanged();
  return true;
}

int FileCommands::openDialog() {
  commitEditor();
  if (!chooser_) return kOpenFailed;
  FileDialogRequest request;
  request.defaultExtension = text_.lineText("GI_Sys_Dialog_FOpen");
  request.filter = text_.lineText("GI_Sys_Dialog_FOpen", 1);
  request.initialDirectory = document_.currentDirectory();
  const QString path = chooser_->chooseOpenPath(request);
  if (path.isEmpty()) {
    lastResult_ = kCancelled;
    return kOpenFailed;
  }
  return openFile(path);
}

FileCommands::Switch FileCommands::askDestinationSwitch() {
  if (policy_ == DestinationPolicy::AdoptFile) return Switch::Adopt;
  if (policy_ == DestinationPolicy::AdaptData) return Switch::Adapt;
  const PromptAnswer answer = prompter_.ask(
      PromptMessage{appTitle(), fromCp932(text_.getSectionText("GI_AppMess_ChangeModel_QEV")),
                    PromptButtons::YesNoCancel, PromptIcon::Warning, PromptAnswer::No});
  switch (answer) {
    case PromptAnswer::Yes:
      return Switch::Adopt;
    case PromptAnswer::No:
      return Switch::Adapt;
    default:
      return Switch::Cancel;
  }
}

int FileCommands::openFile(const QString& path) {
  const bool generic = path.compare(document_.documentName(), Qt::CaseInsensitive) == 0;
  if (savePrompt(generic) == PromptAnswer::Cancel) {
    lastResult_ = kCancelled;
    return kOpenFailed;
  }

  BusyCursor busy(hooks_.busy);
  QevOpenResult opened = openQevFile(path, document_.working().size(), &prompter_, &text_);
  lastResult_ = opened.code;
  lastFileDestination_ = opened.destination;
  if (opened.code != kQevOk) return kOpenFailed;
  cmcEeprom& scratch = opened.image;
  // A file opens without a check line (hand edits and other tools leave none), but one that no
  // longer fits the data says the file changed after it was written: the user decides.
  if (verifyQevCheckLine(path).status == QevCheckLine::Mismatch) {
    const QString question =
        QStringLiteral(
            "The check line of %1 does not match its contents: the file may be damaged.\n"
            "Open it anyway?")
            .arg(QDir::toNativeSeparators(path));
    if (prompter_.ask(PromptMessage{appTitle(), question, PromptButtons::OkCancel,
                                    PromptIcon::Warning, PromptAnswer::Ok}) != PromptAnswer::Ok) {
      lastResult_ = kCancelled;
      return kOpenFailed;
    }
  }

  const int fileCode = opened.destination;
  bool adapted = false;
  const bool namesNone = fileCode >= DestinationOptions::kNone;
  if (fileCode != document_.destination() &&
      !(namesNone && policy_ == DestinationPolicy::AdoptFile)) {
    switch (askDestinationSwitch()) {
      case Switch::Cancel:
        lastResult_ = kCancelled;
        return kOpenFailed;
      case Switch::Adopt:
        // Open only runs with the main window shown.
        document_.changeDestination(scratch, fileCode, true, true);
        document_.clipboard().clear();
        if (settings_) settings_->setDestinationCode(fileCode);
        if (hooks_.modelDisplayChanged) hooks_.modelDisplayChanged();
        documentChanged();
        break;
      case Switch::Adapt:
        // The data is fitted to the program's destination; it is no longer the file's content,
        // so the document stays untitled and modified.
        adapted = true;
        break;
    }
  }

  rememberFile(path);
  document_.takeOver(scratch, adapted ? QString() : path, adapted);
  lastOpenAdapted_ = adapted;
  documentChanged();
  return 0;
}

int FileCommands::save() {
  if (document_.isUntitled()) return saveAsDialog();
  return saveFile(document_.currentFile());
}

int FileCommands::saveAsDialog() {
  if (!chooser_) {
    lastResult_ = kCancelled;
    return kOpenFailed;
  }
  FileDialogRequest request;
  request.defaultExtension = text_.lineText("GI_Sys_Dialog_FOpen");
  request.filter = text_.lineText("GI_Sys_Dialog_FOpen", 1);
  request.proposedName = QFileInfo(document_.documentName()).fileName();
  request.initialDirectory = document_.currentDirectory();
  const QString path = chooser_->chooseSavePath(request);
  if (path.isEmpty()) {
    lastResult_ = kCancelled;
    return kOpenFailed;
  }
  return saveFile(path);
}

int FileCommands::saveFile(const QString& path) {
  commitEditor();
  if (hooks_.warningCheck) hooks_.warningCheck();

  // Saving clears channels the radio could not take. The user is told which before anything
  // changes, and may stop the save to correct them.
  cmcEeprom conformed;
  conformed.assign(document_.working());
  document_.conform(conformed);
  cmcEeprom repaired;
  repaired.assign(conformed);
  document_.repair(repaired);
  const QStringList cleared = changedChannelLabels(conformed, repaired, document_.options());
  if (!cleared.isEmpty()) {
    const QString question =
        QStringLiteral(
            "Some channels cannot be used with this transceiver's version and will be cleared "
            "when the file is saved: %1.\nSave anyway?")
            .arg(cleared.join(QStringLiteral(", ")));
    const PromptAnswer answer = prompter_.ask(PromptMessage{
        appTitle(), question, PromptButtons::OkCancel, PromptIcon::Warning, PromptAnswer::Ok});
    if (answer != PromptAnswer::Ok) {
      lastResult_ = kCancelled;
      return kOpenFailed;
    }
  }
  // The repaired copy is written; the document takes the repair only once the file is safe, so
  // a failed write leaves every channel where it was.
  {
    BusyCursor busy(hooks_.busy);
    lastResult_ = saveQevFile(path, repaired, document_.destination(), &prompter_, &text_);
  }
  if (lastResult_ != kQevOk) return lastResult_;
  if (document_.working().differs(repaired)) {
    const auto apply = [&] { document_.working().assign(repaired); };
    if (hooks_.recordChange)
      hooks_.recordChange(apply);
    else
      apply();
    // The sheets and the warning marks show the image as it is written.
    if (bus_) bus_->send(ev::kRefreshAllSheets);
    if (hooks_.dataChanged) hooks_.dataChanged();
  }
  rememberFile(path);
  document_.setCurrentFile(path);
  document_.markSaved();
  return 0;
}

RecentMenuItem FileCommands::recentItem(int n) const {
  RecentMenuItem item;
  QString entry;
  if (settings_) entry = settings_->recent().entry(n, document_.currentDirectory());
  entry.replace(QLatin1Char('&'), QLatin1String("&&"));
  item.caption = QStringLiteral("&%1 %2").arg(QString::number(n + 1), entry);
  item.enabled = !entry.isEmpty();
  item.visible = item.enabled || n == 0;
  return item;
}

int FileCommands::openRecent(int n) {
  const QString path = settings_ ? settings_->recent().path(n) : QString();
  if (path.isEmpty()) return kOpenFailed;
  return openFile(path);
}

QevCheckLine verifyQevCheckLine(const QString& path) {
  QevCheckLine result;
  if (!isRegularFile(path)) return result;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return result;
  // The digest takes the salt and every data line as bytes, in file order; the model line and
  // the "#" lines are not part of it.
  QCryptographicHash md5(QCryptographicHash::Md5);
  md5.addData(QByteArray::fromHex(kQevSalt));
  bool modelLine = true;
  bool found = false;
  while (!file.atEnd()) {
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
    if (modelLine) {
      modelLine = false;
    } else if (line.startsWith("#CD=")) {
      result.stored = line.mid(4).trimmed();
      found = true;
    } else if (!line.startsWith('#')) {
      md5.addData(QByteArray::fromHex(line));
    }
  }
  if (file.error() != QFileDevice::NoError) return result;
  result.computed = md5.result().toHex().toUpper();
  if (!found) {
    result.status = QevCheckLine::Missing;
  } else {
    result.status = result.stored.compare(result.computed, Qt::CaseInsensitive) == 0
                        ? QevCheckLine::Matches
                        : QevCheckLine::Mismatch;
  }
  return result;
}
