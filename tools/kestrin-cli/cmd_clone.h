#pragma once

#include <QString>
#include <QStringList>

// The clone commands of kestrin-cli. Each takes the arguments that follow its name and returns
// the program's exit code: 0 only when the command succeeded, 1 when it failed or was declined,
// 2 for a usage error.
//
//   info  [--port P]                  identify the transceiver and print its clone information
//   read  [--port P] -o FILE.qev      clone read into a new QEV file (written only on success)
//   write [--port P] FILE.qev [--yes] clone write of a QEV file
//
// Common options: --yes (answer OK to every question), --settings DIR (where the settings file
// lives; also the environment variable KESTRIN_SETTINGS_DIR).
int cliCloneInfo(const QStringList& args);
int cliCloneRead(const QStringList& args);
int cliCloneWrite(const QStringList& args);

// The usage lines of the three commands, for the tool's help.
QString cliCloneUsage();
