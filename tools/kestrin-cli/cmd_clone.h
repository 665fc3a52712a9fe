#pragma once

#include <QString>
#include <QStringList>

#include "cliargs.h"

// The clone commands of kestrin-cli. Each takes the arguments that follow its name and returns
// its status: done only when the command succeeded, failed when it failed or was declined,
// usage for a wrong command line.
//
//   info  [--port P]                  identify the transceiver and print its clone information
//   read  [--port P] -o FILE.qev      clone read into a new QEV file (written only on success)
//   write [--port P] FILE.qev [--yes] clone write of a QEV file
//
// Common options: --yes (answer OK to every question), --settings DIR (where the settings file
// lives; also the environment variable KESTRIN_SETTINGS_DIR).
Status cliCloneInfo(const QStringList& args);
Status cliCloneRead(const QStringList& args);
Status cliCloneWrite(const QStringList& args);

// The usage lines of the three commands, for the tool's help.
QString cliCloneUsage();
