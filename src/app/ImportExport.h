#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "files/channelcsv.h"

class cuiMain;

// The channel group a sheet shows, by its call string: the two memory-channel pages, the scan
// edges and the call channel. Every other sheet has none, and Import and Export are off there.
std::optional<ChannelGroup> channelGroupOfSheet(const QByteArray& callString);

// The file name the export dialog offers for a group ("Memory CH 100-199.csv").
QString proposedExportName(ChannelGroup group, const QString& extension);

// File > Export... on the sheet shown: the save dialog in the current directory, then the file;
// a written file's directory becomes the current directory. Nothing happens on other sheets.
void exportChannelsFromWindow(cuiMain& app);

// File > Import... on the sheet shown: the open dialog, the confirmation, then the import as one
// undo step; the sheet is reopened (event 32) before the reports. A file that cannot be read or
// whose header lacks a required column changes nothing.
void importChannelsIntoWindow(cuiMain& app);
