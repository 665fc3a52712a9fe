#pragma once

#include "session/ChannelLists.h"

class cuiMain;

// The window around the channel-list commands: its file dialogs, the undo step, the sheet
// reopened and the report box.

// File > Export... on the sheet shown: the save dialog in the current directory, then the file;
// a written file's directory becomes the current directory. Nothing happens on other sheets.
void exportChannelsFromWindow(cuiMain& app);

// File > Import... on the sheet shown: the open dialog, the confirmation, then the import as one
// undo step; the sheet is reopened (event 32) before the reports. A file that cannot be read or
// whose header lacks a required column changes nothing.
void importChannelsIntoWindow(cuiMain& app);
