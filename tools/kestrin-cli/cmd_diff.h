#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "cliargs.h"

// kestrin-cli diff A B: every field whose shown value differs between two documents, each side a
// .qev file or "--destination N" (the factory image of a destination). Its exit code:
// 0 equal, 1 different, 2 on an error (a file that does not open, a wrong command line).
Status cliDiff(const QStringList& args);

struct FieldDifference;
// Prints differences as `diff` does: one line per field (sheet, row, column, value in A, value
// in B), in aligned columns, or tab-separated with `tsv`.
void printFieldDifferences(const std::vector<FieldDifference>& differences, bool tsv);

// The usage lines of the command, for the tool's help.
QString cliDiffUsage();
