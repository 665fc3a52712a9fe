#pragma once

// Codes of the application-wide event bus (cmcEvMan). The numbers are fixed: parts of the
// program agree on them, never on each other's classes. Mode and arguments are noted per code.
namespace ev {

inline constexpr int kOwnerClosing = 1;    // send; b = the owner window going away
inline constexpr int kRefreshToolbar = 2;  // send
inline constexpr int kStatusText = 4;      // send; text
inline constexpr int kRefreshMenus = 9;    // send
inline constexpr int kEmptySubmenu = 10;   // send; b = cell link
inline constexpr int kFillSubmenu =
    11;  // send or post; a = menu builder, b = link, text = section stem
inline constexpr int kAskCurrentCell = 12;       // ask; a = the asking control or 0
inline constexpr int kRefreshAllSheets = 13;     // send or post; data changed, repaint everything
inline constexpr int kRefreshRow = 16;           // send or post; data changed in the row given by a
inline constexpr int kCurrentCellChanged = 19;   // post; data
inline constexpr int kCommitEditor = 22;         // send; commit the open cell editor now
inline constexpr int kAskPopupOpen = 28;         // ask; b = owner
inline constexpr int kDataOrSheetChanged = 29;   // send
inline constexpr int kReopenSheet = 32;          // post; a = select a frequency cell, b = its index
inline constexpr int kCloneInformation = 33;     // send
inline constexpr int kShowMainWindow = 34;       // send
inline constexpr int kDestinationCheck = 35;     // send; a = flags
inline constexpr int kResetToDefaultImage = 36;  // send
inline constexpr int kSetupFinished = 38;        // send
inline constexpr int kCloneStarted = 41;         // send; disable the windows
inline constexpr int kCloneEnded = 42;           // send; a = 1 on success, 0 on failure
inline constexpr int kCloneProgressClosed = 43;  // send; enable the windows
inline constexpr int kAskSheetTitle = 44;        // ask
inline constexpr int kAskSheetNumber = 45;       // ask
inline constexpr int kAskColCutSheetNumber = 46;  // ask

}  // namespace ev
