#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class Prompter;

// The file commands of kestrin-cli, on the same File command rules as the program's File menu:
//
//   new --destination CODE -o FILE.qev        the factory image of a destination, saved
//   export FILE.qev GROUP [-o OUT.csv] [--layout common]
//                                             a channel group as a channel list (stdout without -o)
//   import FILE.qev GROUP IN.csv -o OUT.qev   a channel list into a group, saved as OUT.qev
//   verify FILE.qev                           every check of File Open, and the check line
//
// GROUP is memory (channels 0-99), memory2 (100-199), edges (the scan edges) or call.

// What the commands take from the command line.
struct FileCommandLine {
  QString file;               // FILE.qev
  QStringList arguments;      // the positional arguments after the command (and the file)
  QString output;             // -o
  int destination = -1;       // --destination; with a file, the data is adapted to it
  uint8_t optionBits = 0x0F;  // --options: the radio options (all by default)
  QString layout;             // export --layout: "common" for the common channel-list layout
};

// The exit code (0 done, 1 failed, 2 wrong command line) and, unless 0, the reason.
struct FileCommandResult {
  int exitCode = 0;
  QString reason;
};

// Messages and questions go to `prompter`; results are printed on stdout.
FileCommandResult cliNew(const FileCommandLine& line, Prompter& prompter);
FileCommandResult cliExport(const FileCommandLine& line, Prompter& prompter);
FileCommandResult cliImport(const FileCommandLine& line, Prompter& prompter);
FileCommandResult cliVerify(const FileCommandLine& line, Prompter& prompter);

// The usage lines of the four commands, for the tool's help.
QString cliFileUsage();
