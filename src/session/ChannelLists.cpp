#include "session/ChannelLists.h"

#include <QDir>
#include <QFile>

#include "files/inputfile.h"
#include "gtex/cmcGTex.h"
#include "model/document.h"
#include "session/Workspace.h"
#include "sheet/core/SheetCall.h"

namespace {

// More than a common list may hold: enough to tell the reader it is too long.
constexpr qint64 kCommonListReadLimit = 4 * 1024 * 1024 + 1;

// The list at `path` when its header is the common layout's; nothing otherwise.
std::optional<QByteArray> readCommonList(const QString& path) {
  // Not opened unless it is a regular file: a FIFO would wait here for a writer, and the
  // own layout's reader refuses it with its file error.
  if (!isRegularFile(path)) return std::nullopt;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray list = file.read(kCommonListReadLimit);
  if (!commonlist::recognises(list)) return std::nullopt;
  return list;
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

void FileNamingPrompter::setPath(const QString& path) { path_ = QDir::toNativeSeparators(path); }

PromptAnswer FileNamingPrompter::ask(const PromptMessage& message) {
  if (path_.isEmpty() || headline_.isEmpty() || !message.text.startsWith(headline_))
    return inner_.ask(message);
  PromptMessage named = message;
  named.text += QStringLiteral("\n\n") + path_;
  return inner_.ask(named);
}

ChannelListCommands::ChannelListCommands(Workspace& workspace, Prompter& prompter,
                                         CsvSeparators separators)
    : workspace_(workspace), prompter_(prompter), separators_(separators) {}

ChannelCsv ChannelListCommands::csv() const {
  Document& document = workspace_.document();
  ChannelCsv csv(document.working(), document.defaultImage(), document.options(), separators_);
  csv.setMessages(&prompter_, &workspace_.text());
  return csv;
}

QByteArray ChannelListCommands::exportText(ChannelGroup group, ChannelListLayout layout) const {
  if (layout == ChannelListLayout::Common)
    return commonlist::exportText(workspace_.document(), group);
  return csv().exportText(group);
}

bool ChannelListCommands::exportFile(const QString& path, ChannelGroup group,
                                     ChannelListLayout layout) {
  if (layout == ChannelListLayout::Common) {
    return commonlist::exportFile(path, workspace_.document(), group, &prompter_,
                                  &workspace_.text());
  }
  return csv().ExportChannels(path, group);
}

bool ChannelListCommands::confirmImport() { return csv().ConfirmImport(); }

ChannelListImport ChannelListCommands::importFile(const QString& path, ChannelGroup group,
                                                  const std::function<void()>& changed) {
  ChannelListImport result;
  // A list of repeater directories and other programs is told by its header.
  if (const std::optional<QByteArray> list = readCommonList(path)) {
    result.common = true;
    result.report =
        commonlist::importText(*list, group, workspace_.document(), workspace_.catalogue());
    result.done = result.report.recognised;
    if (changed) changed();
    return result;
  }
  result.done = csv().ImportChannels(path, group, changed, &result.counts);
  return result;
}
