#pragma once

#include <QString>
#include <cstdint>

// Command-line values shared by the commands.

// A destination given as its number (0..15) or its name, any letter case; -1 when neither.
int parseDestination(const QString& text);

// Comma-separated radio options ("all", "none", "marine", "fm-narrow", "rx-expansion",
// "high-power") as option bits; false on an unknown word.
bool parseOptions(const QString& text, uint8_t& bits);
