#include "app/ImportExport.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/TForm1.h"
#include "app/cuiMain.h"
#include "base/cmcEvMan.h"
#include "base/events.h"
#include "base/filechooser.h"
#include "base/prompter.h"
#include "base/textcodec.h"
#include "files/CommonChannelList.h"
#include "files/indEnviron.h"
#include "files/inputfile.h"
#include "files/messages.h"
#include "gtex/cmcGTex.h"
#include "model/document.h"
#include "sheet/core/SheetCall.h"
#include "sheet/ui/DocumentUndo.h"
#include "sheet/ui/cuiSheet.h"

namespace {

// The "File error." boxes of one command name the file they are about, below their own text:
// the user may have picked a file other than the one they meant.
class FileNamingPrompter : public Prompter {
 public:
  FileNamingPrompter(Prompter& inner, const QString& headline)
      : inner_(inner), headline_(headline) {}
  void setPath(const QString& path) { path_ = QDir::toNativeSeparators(path); }

  PromptAnswer ask(const PromptMessage& message) override {
    if (path_.isEmpty() || headline_.isEmpty() || !message.text.startsWith(headline_))
      return inner_.ask(message);
    PromptMessage named = message;
    named.text += QStringLiteral("\n\n") + path_;
    return inner_.ask(named);
  }

 private:
  Prompter& inner_;
  QString headline_;
  QString path_;
};

std::optional<ChannelGroup> currentGroup(cuiMain& app) {
  if (!app.currentSheet()) return std::nullopt;
  return channelGroupOfSheet(app.currentSheet()->callString());
}

FileDialogRequest channelListDialog(cuiMain& app) {
  FileDialogRequest request;
  request.defaultExtension = app.text().lineText("GI_Sys_Dialog_FExport");
  request.filter = app.text().lineText("GI_Sys_Dialog_FExport", 1);
  request.initialDirectory = app.document().currentDirectory();
  return request;
}

ChannelCsv channelCsv(cuiMain& app) {
  Document& document = app.document();
  return ChannelCsv(
      document.working(), document.defaultImage(), document.options(),
      CsvSeparators::resolve(app.formats().decimalSeparator, app.formats().listSeparator));
}

// The file types of the export dialog: the program's own layout first, then the common one.
constexpr int kCommonFileType = 1;
const QString kCommonFilter = QStringLiteral("Common channel list (*.csv)|*.csv");

QString exportFilter(const QString& own) {
  QStringList parts = own.split(QLatin1Char('|'));
  const int at = parts.size() >= 2 ? 2 : int(parts.size());
  const QStringList common = kCommonFilter.split(QLatin1Char('|'));
  for (int i = 0; i < common.size(); ++i) parts.insert(at + i, common[i]);
  return parts.join(QLatin1Char('|'));
}

// The row report of a common-layout import, in a box of its own: it may run to a hundred lines.
void showImportReport(cuiMain& app, const QString& text) {
  auto* dialog = new QDialog(app.form());
  dialog->setObjectName(QStringLiteral("importReport"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(
      QStringLiteral("Import - %1").arg(app.text().lineText("GI_Sys_AppTitle")));
  auto* view = new QPlainTextEdit(text, dialog);
  view->setObjectName(QStringLiteral("importReportText"));
  view->setReadOnly(true);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(view, 1);
  layout->addWidget(buttons);
  dialog->resize(640, 360);
  dialog->show();
}

// The first bytes of a list, enough for its header; empty when it cannot be read.
QByteArray headOf(const QString& path) {
  if (!isRegularFile(path)) return {};  // the channel-list reader refuses it with its file error
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
}

void takeDirectoryOf(cuiMain& app, const QString& path) {
  const QString directory = QFileInfo(path).absolutePath();
  app.document().setCurrentDirectory(directory);
  app.settings().setCurrentDirectory(directory);
}

}  // namespace

std::optional<ChannelGroup> channelGroupOfSheet(const QByteArray& callString) {
  const SheetCall call = SheetCall::parse(callString);
  if (call.name == "GI_Sheet_MemoryCH") {
    switch (call.argumentNumber(0, -1)) {
      case 0:
        return ChannelGroup::Memory0;
      case 1:
        return ChannelGroup::Memory1;
      default:
        return std::nullopt;
    }
  }
  if (call.name == "GI_Sheet_ScanEdge") return ChannelGroup::ScanEdges;
  if (call.name == "GI_Sheet_CallCh") return ChannelGroup::Call;
  return std::nullopt;
}

QString proposedExportName(ChannelGroup group, const QString& extension) {
  QString name;
  switch (group) {
    case ChannelGroup::Memory0:
      name = QStringLiteral("Memory CH 0-99");
      break;
    case ChannelGroup::Memory1:
      name = QStringLiteral("Memory CH 100-199");
      break;
    case ChannelGroup::ScanEdges:
      name = QStringLiteral("Program Scan Edge");
      break;
    case ChannelGroup::Call:
      name = QStringLiteral("CALL CH");
      break;
  }
  return extension.isEmpty() ? name : name + QLatin1Char('.') + extension;
}

void exportChannelsFromWindow(cuiMain& app) {
  const std::optional<ChannelGroup> group = currentGroup(app);
  if (!group) return;
  // A value still being typed belongs in the file.
  app.endCellEditing();
  FileDialogRequest request = channelListDialog(app);
  request.proposedName = proposedExportName(*group, request.defaultExtension);
  request.filter = exportFilter(request.filter);
  int fileType = 0;
  request.chosenFilter = &fileType;
  const QString path = app.fileChooser().chooseSavePath(request);
  if (path.isEmpty()) return;

  FileNamingPrompter prompter(app.prompter(), messageText(app.text(), "GI_Mess_FileErr_Headline"));
  prompter.setPath(path);
  bool exported = false;
  if (fileType == kCommonFileType) {
    exported = commonlist::exportFile(path, app.document(), *group, &prompter, &app.text());
  } else {
    ChannelCsv csv = channelCsv(app);
    csv.setMessages(&prompter, &app.text());
    exported = csv.ExportChannels(path, *group);
  }
  if (exported) takeDirectoryOf(app, path);
}

void importChannelsIntoWindow(cuiMain& app) {
  const std::optional<ChannelGroup> group = currentGroup(app);
  if (!group) return;
  app.endCellEditing();
  const QString path = app.fileChooser().chooseOpenPath(channelListDialog(app));
  if (path.isEmpty()) return;

  FileNamingPrompter prompter(app.prompter(), messageText(app.text(), "GI_Mess_FileErr_Headline"));
  ChannelCsv csv = channelCsv(app);
  csv.setMessages(&prompter, &app.text());
  if (!csv.ConfirmImport()) return;
  prompter.setPath(path);

  // A list of repeater directories and other programs is told by its header.
  if (commonlist::recognises(headOf(path))) {
    QFile file(path);
    const QByteArray list = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    commonlist::ImportReport report;
    {
      DocumentUndo::Change change(app.undo(), QStringLiteral("Import"));
      report = commonlist::importText(list, *group, app.document(), app.catalogue());
      app.document().setModified();
      app.dataChanged();
      app.bus().post(ev::kReopenSheet, 0, 0);
    }
    takeDirectoryOf(app, path);
    if (report.taken == 0 && report.rows == 0) {
      showWarning(prompter, app.text(), "GI_Mess_Import_NoData");
      return;
    }
    showImportReport(app, report.text(*group));
    return;
  }

  bool imported = false;
  {
    // The cleared group and every channel read from the file come back with one undo.
    DocumentUndo::Change change(app.undo(), QStringLiteral("Import"));
    imported = csv.ImportChannels(path, *group, [&app] {
      app.document().setModified();
      app.dataChanged();
      // The sheet is built again from the rewritten channels, where it stood.
      app.bus().post(ev::kReopenSheet, 0, 0);
    });
  }
  if (imported) takeDirectoryOf(app, path);
}
