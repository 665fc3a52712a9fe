#pragma once

#include <QString>

#include "cliargs.h"

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

// Messages and questions go to `prompter`; results are printed on stdout.
Status cliNew(const CliOptions& line, Prompter& prompter);
Status cliExport(const CliOptions& line, Prompter& prompter);
Status cliImport(const CliOptions& line, Prompter& prompter);
Status cliVerify(const CliOptions& line, Prompter& prompter);

// The usage lines of the four commands, for the tool's help.
QString cliFileUsage();
