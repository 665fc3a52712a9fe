#pragma once

#include <QByteArray>
#include <vector>

// One choice of a selection list: where its cell sits in the list's description, the value it
// stands for and the text shown for that value.
struct SelectionChoice {
  int line = 0;
  int cell = 0;
  int value = 0;
  QByteArray text;
};

// The value/text table of one selection list (one description sheet and key link).
struct SelectionList {
  int lineCount = 0;                        // lines of the description before its closing "#"
  int widestRow = 0;                        // largest number of cells on one line
  std::vector<SelectionChoice> byValue;     // ascending value
  std::vector<SelectionChoice> byPosition;  // down the first column, then down the next

  int choiceCount() const { return static_cast<int>(byValue.size()); }
};
