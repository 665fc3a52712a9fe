#pragma once

#include <QString>

// What the status bar says after a typed value was stored as something else than typed: what
// was typed, what was stored and why, so a clamped frequency or a shortened name is not a
// surprise. Empty when the value was stored as typed (or when nothing explains it).
// `link` is the cell's link, `typed` the editor's text, `shown` the cell's text after storing.
QString typedValueNote(int link, const QString& typed, const QString& shown);
