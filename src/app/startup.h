#pragma once

#include <QString>
#include <QStringList>

// What the command line asks of a start of the program.
struct StartupOptions {
  bool version = false;      // --version: print "kestrin <version>" and end
  bool forcedSetup = false;  // "/setup" or "--setup", any letter case
  bool simulator = false;    // --simulator: clone with the built-in transceiver for this run
  QString file;              // a data file to open once the main window shows
  // The arguments the settings store is given: "--setup" spelled as "/setup".
  QStringList environArguments;
};
StartupOptions parseCommandLine(const QStringList& arguments);

// After the main window is built: the initial set-up dialog comes first when no valid destination
// is stored (setup state 0) or when it is forced (4); otherwise the main window shows at once.
bool initialSetupFirst(int setupState);
