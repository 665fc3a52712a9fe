#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <memory>

#include "gtex/cellmarkup.h"
#include "gtex/cmcHash.h"
#include "gtex/selectionlist.h"

class cmcGTex;

// Builds the value/text table of a selection list from the lines of its description (the lines
// of GI_Sheet_Sel_<name>_Cells before its closing "#"). A choice is a cell linked to `keyLink`:
// its index is the value, its argument (when present, even empty) or else its display text is
// the text.
std::unique_ptr<SelectionList> buildSelectionList(cmcCellParser& parser,
                                                  const QList<QByteArray>& lines, int keyLink);

struct ListStep {
  bool found = false;  // the current value was one of the choices
  int value = 0;       // the stepped value (the first choice when the value was not a choice)
};

// The selection-list cache: one table per description sheet and key link, built on first use
// and kept until the cache is dropped (the main window recreates it when the language changes).
class cmcFCache {
 public:
  explicit cmcFCache(cmcGTex& text);

  // The list of `<sheetName>_Cells` for `keyLink`; a missing section ends the program with the
  // resource text's "not found" error.
  const SelectionList& list(const char* sheetName, int keyLink);
  // The text of `value`, or "error" for a value that is not a choice.
  QByteArray listText(const char* sheetName, int keyLink, int value);
  // One choice on (+1) or back (-1) in the list's reading order, wrapping around.
  ListStep listStep(const char* sheetName, int keyLink, int value, int step);

  int listCount() const { return lists_.size(); }

  static QByteArray keyOf(const char* sheetName, int keyLink);

 private:
  cmcGTex& text_;
  cmcCellParser parser_;
  cmcHash2 lists_;
};

// Value look-ups on a built list.
QByteArray selectionText(const SelectionList& list, int value);
ListStep selectionStep(const SelectionList& list, int value, int step);
