#pragma once

#include <QByteArray>
#include <vector>

class cmcGTex;

// One line of a "+"-indented outline (a menu, the tree, a popup menu): the column of its "+"
// is its depth, the cell text follows the "+".
struct OutlineLine {
  int depth = 0;
  QByteArray cellText;
};

// Reads a section's outline up to the line starting with "#"; lines without a "+" are not
// items and are skipped.
std::vector<OutlineLine> readOutline(cmcGTex& text, const QByteArray& section);
