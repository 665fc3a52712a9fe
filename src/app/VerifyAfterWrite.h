#pragma once

class QAction;
class QMenuBar;
class cuiMain;
class CompareDialog;
struct VerifyReport;

// Puts the checked item "Verify After Write" into the Clone menu, after Write, kept in the
// settings. Returns the item (null when the bar has no Clone menu).
QAction* installVerifyCommand(cuiMain& main, QMenuBar* bar);

// Tells the user how the read-back after a Clone Write ended: equal in the status bar; different
// in a warning box naming the number of fields, then the comparison dialog of those fields (the
// dialog is returned). A failed read-back has been reported by the clone commands already.
CompareDialog* reportVerify(cuiMain& main, const VerifyReport& report);
