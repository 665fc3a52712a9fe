#pragma once

#include <QString>
#include <cstdint>

// What a caution or range mark on a cell means and what the radio will do about it, for the
// cell's tool tip and the status bar. `link` is the cell's link, `marks` the display answer's
// marks. Empty when the cell carries no mark.
QString markNote(int link, uint8_t marks);
