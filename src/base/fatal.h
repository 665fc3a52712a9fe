#pragma once

#include <QString>
#include <functional>

// Faults of the program's own data (a missing resource section, a duplicate name in an index,
// an address outside the image) are never caused by user input. They show one error box and end
// the process, so that a broken build cannot go on to corrupt a user's data.

// Shows `text` with the program file's name as caption, then aborts. Never returns.
[[noreturn]] void fatalError(const QString& text);
[[noreturn]] void fatalError(const char* text);

// The GUI installs a presenter that shows a message box; the default writes to stderr.
using FatalPresenter = std::function<void(const QString& caption, const QString& text)>;
void setFatalPresenter(FatalPresenter presenter);

// The caption of fatal boxes: the program file's name.
QString programFileName();
