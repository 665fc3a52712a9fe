#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The short names by which the command-line programs name the pages of the navigation tree
// ("memory", "f1-common", ...), beside the call strings the tree opens them with.

// The call string of a short name (any letter case), or empty when it is not one.
QByteArray sheetCallOfName(const QString& name);
// The short name of a call string, or empty.
QString sheetNameOfCall(const QByteArray& callString);
// Every short name, in tree order.
QStringList sheetNames();
