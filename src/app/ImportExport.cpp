#include "app/ImportExport.h"

#include <QDir>
#include <QFileInfo>

#include "app/cuiMain.h"
#include "base/cmcEvMan.h"
#include "base/events.h"
#include "base/filechooser.h"
#include "base/prompter.h"
#include "base/textcodec.h"
#include "files/indEnviron.h"
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
  request.defaultExtension = fromCp932(app.text().getLine("GI_Sys_Dialog_FExport", 0));
  request.filter = fromCp932(app.text().getLine("GI_Sys_Dialog_FExport", 1));
  request.initialDirectory = app.document().currentDirectory();
  return request;
}

ChannelCsv channelCsv(cuiMain& app) {
  Document& document = app.document();
  return ChannelCsv(
      document.working(), document.defaultImage(), document.options(),
      CsvSeparators::resolve(app.formats().decimalSeparator, app.formats().listSeparator));
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
  const QString path = app.fileChooser().chooseSavePath(request);
  if (path.isEmpty()) return;

  FileNamingPrompter prompter(app.prompter(), messageText(app.text(), "GI_Mess_FileErr_Headline"));
  prompter.setPath(path);
  ChannelCsv csv = channelCsv(app);
  csv.setMessages(&prompter, &app.text());
  if (csv.ExportChannels(path, *group)) takeDirectoryOf(app, path);
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
