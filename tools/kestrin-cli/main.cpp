// kestrin-cli: the program's pages, edits and checks from the command line, on a clone data
// file or on the factory image of a destination, through the same catalogue as the GUI.

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cliargs.h"
#include "cliprompter.h"
#include "cmd_clone.h"
#include "cmd_diff.h"
#include "cmd_files.h"
#include "commands.h"
#include "files/rawnames.h"
#include "gtex/cmcGTex.h"
#include "model/destinations.h"
#include "model/version.h"
#include "resources/embedded_text.h"

namespace {

const char kUsage[] =
    "Usage: kestrin-cli COMMAND [ARGUMENTS] [FILE.qev] [OPTIONS]\n"
    "\n"
    "Works on FILE.qev, or without a file on the factory image of a destination.\n"
    "\n"
    "Commands:\n"
    "  show [SHEET]                 print a page as a table (default: memory)\n"
    "  edit SHEET ROW COLUMN TEXT   type TEXT into a cell, as in the grid, and print the row\n"
    "  edit SHEET ROW COLUMN --key K  press a key on a cell: space, backspace, enter, edit\n"
    "  check                        count the pages with errors and warnings\n"
    "  help                         this text\n"
    "\n"
    "SHEET is one of memory, memory2, edges, call, marine, banks, dtmf, common, f1, f2,\n"
    "f1-common, f2-common, clone-info, or a call string such as\n"
    "\"[St_ColCut]GI_Sheet_MemoryCH,0,0\". ROW is a row's label (\"5\", \"1A\", \"C\", \"Beep\")\n"
    "or the number of an editable row from 0. COLUMN is a header text (\"Operating Freq\"),\n"
    "a link name (\"CL_Mch_Freq\" or \"Mch_Freq\") or \"-\" for the row's only editable cell.\n"
    "A list cell takes the text of one of its choices; the A-J bank pattern takes letters.\n"
    "\n"
    "In tables a caution is shown as \"!\" after the text, a range error as \"x\", and\n"
    "settings that do not apply are shown [in brackets].\n"
    "\n"
    "Options:\n"
    "  --destination CODE  destination 0..15 or its name (USA_A_0000 ...); with a file,\n"
    "                      overrides the file's destination\n"
    "  --options LIST      radio options: comma-separated marine, fm-narrow, rx-expansion,\n"
    "                      high-power, or all (the default) or none\n"
    "  -o OUT.qev          save the result to OUT.qev\n"
    "  --in-place          save the result back to FILE.qev\n"
    "  --yes               answer OK / Yes to every question\n"
    "  --tsv               tab-separated output with every column of the page\n"
    "  -h, --help          this text\n"
    "  --version           print the program's name and version\n"
    "\n"
    "Exit status: 0 on success, 1 when the command failed, 2 for a wrong command line;\n"
    "the reason is the last line on stderr.\n";

Status parse(const QStringList& args, CliOptions& o, bool& help) {
  ArgReader r(args);
  while (r.next()) {
    const QString& a = r.current();
    auto value = [&](QString& out) {
      const std::optional<QString> v = r.value();
      if (v) out = *v;
      return v.has_value();
    };
    QString v;
    if (r.is("-h") || r.is("--help")) {
      help = true;
    } else if (r.is("--destination")) {
      if (!value(v) || (o.destination = parseDestination(v)) < 0)
        return Status::usage("--destination needs a code 0..15 or a destination name");
    } else if (r.is("--options")) {
      if (!value(v) || !parseOptions(v, o.optionBits))
        return Status::usage(
            "--options takes marine, fm-narrow, rx-expansion, high-power, all or none");
    } else if (r.is("-o") || r.is("--output")) {
      if (!value(o.output)) return Status::usage("-o needs a file name");
    } else if (r.is("--key")) {
      if (!value(o.key)) return Status::usage("--key needs a key name");
    } else if (r.is("--in-place")) {
      o.inPlace = true;
    } else if (r.is("--yes") || r.is("-y")) {
      o.yes = true;
    } else if (r.is("--layout")) {
      if (!value(o.layout)) return Status::usage("--layout needs kestrin or common");
    } else if (r.is("--tsv")) {
      o.tsv = true;
    } else if (a.startsWith("--") || (a.startsWith('-') && a.size() > 1 && o.command != "edit")) {
      return Status::usage(QString("unknown option %1").arg(a));
    } else if (o.command.isEmpty()) {
      o.command = a;
    } else if (o.file.isEmpty() && a.endsWith(".qev", Qt::CaseInsensitive) &&
               !(o.command == "edit" && o.arguments.size() == 3 && o.key.isEmpty())) {
      o.file = a;
    } else {
      o.arguments << a;
    }
  }
  return {};
}

// Every command of the tool, in one table. The clone commands and diff read their own options
// (--port, --settings, ...) from the arguments after their name; the file commands and the page
// commands share the document options parsed above, wherever the command's name stands.
struct Command {
  const char* name;
  Status (*ownOptions)(const QStringList& args) = nullptr;
  Status (*onFile)(const CliOptions&, Prompter&) = nullptr;  // a document and the File rules
  Status (*onPages)(Session&) = nullptr;                     // the pages of a whole session
  const char* who = "kestrin-cli";
};

const Command kCommands[] = {
    {"info", cliCloneInfo},
    {"read", cliCloneRead},
    {"write", cliCloneWrite},
    {"diff", cliDiff, nullptr, nullptr, "kestrin-cli diff"},
    {"new", nullptr, cliNew},
    {"export", nullptr, cliExport},
    {"import", nullptr, cliImport},
    {"verify", nullptr, cliVerify},
    {"show", nullptr, nullptr, showCommand},
    {"edit", nullptr, nullptr, editCommand},
    {"check", nullptr, nullptr, checkCommand},
};

const Command* findCommand(const QString& name) {
  for (const Command& c : kCommands) {
    if (name == QLatin1String(c.name)) return &c;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Output is written byte for byte as on other systems: a channel list or a clone file sent to
  // standard output must not gain a carriage return before every line end it already has.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  QCoreApplication application(argc, argv);
  rawnames::remember(argc, argv);
  QStringList args = application.arguments();
  args.removeFirst();

  if (args.value(0) == "--version") {
    cmcGTex text;
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    std::printf("%s\n", versionLine("kestrin-cli", programVersionTexts(text)).toUtf8().constData());
    return kExitOk;
  }

  if (const Command* c = findCommand(args.value(0)); c && c->ownOptions)
    return finish(c->ownOptions(args.mid(1)), c->who);

  CliOptions options;
  bool help = false;
  const Status parsed = parse(args, options, help);
  if (help || options.command == "help") {
    std::fputs(kUsage, stdout);
    std::fputs(("\n" + cliCloneUsage()).toUtf8().constData(), stdout);
    std::fputs(("\nFile commands:\n" + cliFileUsage()).toUtf8().constData(), stdout);
    std::fputs(("\n" + cliDiffUsage()).toUtf8().constData(), stdout);
    return parsed.ok() ? kExitOk : finish(parsed);
  }
  if (!parsed.ok()) return finish(parsed);
  if (options.command.isEmpty()) return finish(Status::usage("no command given (see --help)"));

  const Command* c = findCommand(options.command);
  if (!c || c->ownOptions)
    return finish(
        Status::usage(QString("unknown command \"%1\" (see --help)").arg(options.command)));
  if (c->onFile) {
    CliPrompter prompter(options.yes);
    return finish(c->onFile(options, prompter), c->who);
  }
  Session session(options);
  return finish(c->onPages(session), c->who);
}
