#include "cmd_files.h"

#include <QFileInfo>
#include <cstdio>
#include <optional>

#include "base/prompter.h"
#include "files/cmcQevFile.h"
#include "files/channelcsv.h"
#include "files/filecommands.h"
#include "gtex/cmcGTex.h"
#include "model/catalogue.h"
#include "model/destinations.h"
#include "model/document.h"
#include "files/rawnames.h"
#include "session/ChannelLists.h"
#include "session/Workspace.h"
#include "savesignals.h"
#include "session.h"

namespace {

Status failed(const QString& why) { return Status::failed(why); }
Status usage(const QString& why) { return Status::usage(why); }

void print(const QString& text) {
  std::fputs(text.toUtf8().constData(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

QString destinationText(int code) {
  const char* name = destinationName(code);
  return *name ? QStringLiteral("%1 (%2)").arg(code).arg(QLatin1String(name))
               : QStringLiteral("%1 (none)").arg(code);
}

struct GroupName {
  const char* name;
  ChannelGroup group;
};
// The same names as the pages of the show command.
constexpr GroupName kGroups[] = {
    {"memory", ChannelGroup::Memory0},
    {"memory2", ChannelGroup::Memory1},
    {"edges", ChannelGroup::ScanEdges},
    {"call", ChannelGroup::Call},
};

std::optional<ChannelGroup> parseGroup(const QString& text) {
  for (const GroupName& g : kGroups) {
    if (text.compare(QLatin1String(g.name), Qt::CaseInsensitive) == 0) return g.group;
  }
  return std::nullopt;
}

// One command's document with the program's resource text and File command rules. Nothing is
// read from or written to the program's settings.
class FileSession {
 public:
  FileSession(const CliOptions& line, Prompter& prompter)
      : line_(line), workspace_(WorkspaceSetup{&prompter}) {
    Document& document = workspace_.document();
    FileCommands& commands = workspace_.files();
    document.setOptionBits(line.optionBits);
    // The document starts at the destination asked for; a file then keeps its own, unless one
    // was asked for, when its data is adapted as File Open does when the user keeps the
    // program's destination.
    document.setDestination(line.destination >= 0 ? line.destination : 0);
    document.newDocument();
    commands.setDestinationPolicy(line.destination >= 0
                                       ? FileCommands::DestinationPolicy::AdaptData
                                       : FileCommands::DestinationPolicy::AdoptFile);
  }

  // Opens FILE.qev (the -file argument, or the first positional one).
  Status open(QStringList& positional) {
    path_ = line_.file;
    if (path_.isEmpty() && !positional.isEmpty()) path_ = positional.takeFirst();
    if (path_.isEmpty()) return usage(QStringLiteral("no FILE.qev given"));
    openPath_ = rawnames::readPath(path_);
    if (openPath_.isEmpty()) return failed(QStringLiteral("cannot open %1").arg(path_));
    if (commands().openFile(openPath_) != 0) {
      return failed(QStringLiteral("cannot open %1 (file result %2)")
                        .arg(path_)
                        .arg(commands().lastFileResult()));
    }
    return {};
  }

  Status save(const QString& path) { return saveDocument(commands(), path); }

  // The channel-list commands, with the system's separators.
  ChannelListCommands channelLists(Prompter& prompter) {
    return ChannelListCommands(workspace_, prompter, CsvSeparators::fromSystem());
  }

  const QString& path() const { return path_; }
  // The path the file was opened by (another one for a name that is not UTF-8).
  const QString& openPath() const { return openPath_; }
  Document& document() { return workspace_.document(); }
  FileCommands& commands() { return workspace_.files(); }
  cmcGTex& text() { return workspace_.text(); }
  FieldCatalogue& catalogue() { return workspace_.catalogue(); }

 private:
  CliOptions line_;
  Workspace workspace_;
  QString path_;
  QString openPath_;
};

Status groupArgument(QStringList& positional, ChannelGroup& group) {
  if (positional.isEmpty()) {
    return usage(QStringLiteral("no GROUP given (memory, memory2, edges or call)"));
  }
  const QString name = positional.takeFirst();
  const std::optional<ChannelGroup> parsed = parseGroup(name);
  if (!parsed) {
    return usage(QStringLiteral("no group \"%1\" (memory, memory2, edges or call)").arg(name));
  }
  group = *parsed;
  return {};
}

}  // namespace

Status cliNew(const CliOptions& line, Prompter& prompter) {
  if (line.destination < 0) return usage(QStringLiteral("new needs --destination CODE"));
  if (line.output.isEmpty()) return usage(QStringLiteral("new needs -o FILE.qev"));
  if (!line.file.isEmpty() || !line.arguments.isEmpty()) {
    return usage(QStringLiteral("new takes no file or arguments besides -o"));
  }
  FileSession session(line, prompter);
  if (!session.commands().newDocument()) return failed(QStringLiteral("cancelled"));
  const Status saved = session.save(line.output);
  if (saved.code != kExitOk) return saved;
  print(QStringLiteral("%1: new data for destination %2")
            .arg(line.output, destinationText(session.document().destination())));
  return {};
}

Status cliExport(const CliOptions& line, Prompter& prompter) {
  FileSession session(line, prompter);
  QStringList positional = line.arguments;
  Status r = session.open(positional);
  if (r.code != kExitOk) return r;
  ChannelGroup group{};
  if ((r = groupArgument(positional, group)).code != kExitOk) return r;
  if (!positional.isEmpty()) return usage(QStringLiteral("unexpected %1").arg(positional.first()));
  const bool common = line.layout.compare(QLatin1String("common"), Qt::CaseInsensitive) == 0;
  if (!line.layout.isEmpty() && !common &&
      line.layout.compare(QLatin1String("kestrin"), Qt::CaseInsensitive) != 0)
    return usage(QStringLiteral("--layout is kestrin or common"));

  const ChannelListLayout layout = common ? ChannelListLayout::Common : ChannelListLayout::Own;
  ChannelListCommands lists = session.channelLists(prompter);
  const QByteArray text = lists.exportText(group, layout);
  if (line.output.isEmpty()) {
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
    return {};
  }
  bool exported = false;
  {
    SaveSignalGuard guard;
    rawnames::OutputPath out(line.output);
    exported = !out.path().isEmpty() && lists.exportFile(out.path(), group, layout) && out.finish();
  }
  if (!exported) return failed(QStringLiteral("cannot write %1").arg(line.output));
  if (common) {
    print(QStringLiteral("%1: exported in the common layout: %2")
              .arg(line.output)
              .arg(text.count('\n') - 1));
  } else {
    print(QStringLiteral("%1: exported: %2").arg(line.output).arg(groupRange(group).size));
  }
  return {};
}

Status cliImport(const CliOptions& line, Prompter& prompter) {
  FileSession session(line, prompter);
  QStringList positional = line.arguments;
  Status r = session.open(positional);
  if (r.code != kExitOk) return r;
  ChannelGroup group{};
  if ((r = groupArgument(positional, group)).code != kExitOk) return r;
  if (positional.isEmpty()) return usage(QStringLiteral("no IN.csv given"));
  const QString input = positional.takeFirst();
  if (!positional.isEmpty()) return usage(QStringLiteral("unexpected %1").arg(positional.first()));
  if (line.output.isEmpty()) return usage(QStringLiteral("import needs -o OUT.qev"));

  // The File menu asks before the sheet is cleared; here the result goes to a file of its own.
  // A list in the common layout is reported on stdout, one line per row.
  const ChannelListImport imported =
      session.channelLists(prompter).importFile(rawnames::readPath(input), group);
  if (!imported.done) return failed(QStringLiteral("cannot import %1").arg(input));
  if (imported.common) session.document().setModified();
  r = session.save(line.output);
  if (r.code != kExitOk) return r;
  if (imported.common) {
    print(imported.report.text(group));
    print(QStringLiteral("%1: imported from %2 (common layout)").arg(line.output, input));
    return {};
  }
  print(QStringLiteral("%1: imported from %2: %3, read as blank: %4, corrected: %5")
            .arg(line.output, input)
            .arg(imported.counts.imported)
            .arg(imported.counts.discarded)
            .arg(imported.counts.corrected));
  return {};
}

Status cliVerify(const CliOptions& line, Prompter& prompter) {
  FileSession session(line, prompter);
  QStringList positional = line.arguments;
  Status r = session.open(positional);
  if (r.code != kExitOk) return r;
  if (!positional.isEmpty()) return usage(QStringLiteral("unexpected %1").arg(positional.first()));

  print(QStringLiteral("%1: opens; destination %2")
            .arg(session.path(), destinationText(session.commands().lastFileDestination())));
  const QevCheckLine check = verifyQevCheckLine(session.openPath());
  switch (check.status) {
    case QevCheckLine::Matches:
      print(QStringLiteral("check line: matches"));
      return {};
    case QevCheckLine::Mismatch:
      print(QStringLiteral("check line: does not match (file %1, data %2)")
                .arg(QString::fromLatin1(check.stored), QString::fromLatin1(check.computed)));
      return failed(
          QStringLiteral("the check line of %1 does not match its data").arg(session.path()));
    case QevCheckLine::Missing:
      print(QStringLiteral("check line: missing"));
      return failed(QStringLiteral("%1 has no check line").arg(session.path()));
    case QevCheckLine::Unreadable:
      break;
  }
  return failed(QStringLiteral("cannot read %1").arg(session.path()));
}

QString cliFileUsage() {
  return QStringLiteral(
      "  new --destination CODE -o FILE.qev\n"
      "                               save the factory data of a destination as a new file\n"
      "  export FILE.qev GROUP [-o OUT.csv] [--layout common]\n"
      "                               write a channel group as a channel list (stdout without -o);\n"
      "                               --layout common: the layout of repeater directories\n"
      "  import FILE.qev GROUP IN.csv -o OUT.qev\n"
      "                               read a channel list into a group and save the result; a list\n"
      "                               in the common layout is told by its header, and each of its\n"
      "                               rows is reported\n"
      "  verify FILE.qev              run every check of File Open and test the check line\n"
      "\n"
      "GROUP is memory (channels 0-99), memory2 (100-199), edges (scan edges) or call.\n"
      "With a file, --destination adapts its data to that destination, as File Open does when\n"
      "the program's destination is kept. Channel lists use the system's decimal and list\n"
      "separators.\n");
}
