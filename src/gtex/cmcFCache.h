#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

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
  // The lists found so far by name and key link: painting asks for a list once per cell shown,
  // and making the text key each time cost more than the rest of the answer.
  struct Found {
    std::string_view name;
    int link;
  };
  struct FoundKey {
    std::string name;
    int link;
  };
  struct FoundHash {
    using is_transparent = void;
    size_t operator()(const Found& f) const {
      return std::hash<std::string_view>()(f.name) ^ (size_t(f.link) * 0x9E3779B97F4A7C15u);
    }
    size_t operator()(const FoundKey& k) const { return (*this)(Found{k.name, k.link}); }
  };
  struct FoundEqual {
    using is_transparent = void;
    static Found view(const Found& f) { return f; }
    static Found view(const FoundKey& k) { return Found{k.name, k.link}; }
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
      return view(a).link == view(b).link && view(a).name == view(b).name;
    }
  };
  std::unordered_map<FoundKey, const SelectionList*, FoundHash, FoundEqual> found_;
};

// Value look-ups on a built list.
QByteArray selectionText(const SelectionList& list, int value);
ListStep selectionStep(const SelectionList& list, int value, int step);
