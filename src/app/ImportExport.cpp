#include "app/ImportExport.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/TForm1.h"
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
#include "sheet/ui/DocumentUndo.h"
#include "sheet/ui/cuiSheet.h"

namespace {

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

CsvSeparators separatorsOf(cuiMain& app) {
  return CsvSeparators::resolve(app.formats().decimalSeparator, app.formats().listSeparator);
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

void takeDirectoryOf(cuiMain& app, const QString& path) {
  const QString directory = QFileInfo(path).absolutePath();
  app.document().setCurrentDirectory(directory);
  app.settings().setCurrentDirectory(directory);
}

}  // namespace

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
  ChannelListCommands lists(app.workspace(), prompter, separatorsOf(app));
  const ChannelListLayout layout =
      fileType == kCommonFileType ? ChannelListLayout::Common : ChannelListLayout::Own;
  if (lists.exportFile(path, *group, layout)) takeDirectoryOf(app, path);
}

void importChannelsIntoWindow(cuiMain& app) {
  const std::optional<ChannelGroup> group = currentGroup(app);
  if (!group) return;
  app.endCellEditing();
  const QString path = app.fileChooser().chooseOpenPath(channelListDialog(app));
  if (path.isEmpty()) return;

  FileNamingPrompter prompter(app.prompter(), messageText(app.text(), "GI_Mess_FileErr_Headline"));
  ChannelListCommands lists(app.workspace(), prompter, separatorsOf(app));
  if (!lists.confirmImport()) return;
  prompter.setPath(path);

  ChannelListImport imported;
  {
    // The cleared group and every channel read from the file come back with one undo.
    DocumentUndo::Change change(app.undo(), QStringLiteral("Import"));
    imported = lists.importFile(path, *group, [&app] {
      app.document().setModified();
      app.dataChanged();
      // The sheet is built again from the rewritten channels, where it stood.
      app.bus().post(ev::kReopenSheet, 0, 0);
    });
  }
  if (imported.common) {
    takeDirectoryOf(app, path);
    if (imported.noData()) {
      showWarning(prompter, app.text(), "GI_Mess_Import_NoData");
      return;
    }
    showImportReport(app, imported.report.text(*group));
    return;
  }
  if (imported.done) takeDirectoryOf(app, path);
}
