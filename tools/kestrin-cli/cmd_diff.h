#pragma once

#include <QString>
#include <QStringList>

// kestrin-cli diff A B: every field whose shown value differs between two documents, each side a
// .qev file or "--destination N" (the factory image of a destination). Returns the exit code:
// 0 equal, 1 different, 2 on an error (a file that does not open, a wrong command line).
int cliDiff(const QStringList& args);

// The usage lines of the command, for the tool's help.
QString cliDiffUsage();
