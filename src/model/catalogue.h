#pragma once

#include <QByteArray>
#include <QList>
#include <memory>

#include "model/cmcCellCapsule.h"

class AppCommands;
class Document;
class Prompter;
class cmcCellObj;
class cmcEvMan;
class cmcFCache;
class cmcGTex;

// What the field catalogue works with. The owner (the GUI's application object, the command-line
// tool, a test) keeps all of them alive longer than the catalogue.
struct CatalogueServices {
  Document* document = nullptr;  // required: images, destination, clipboard, modified flag
  cmcGTex* text = nullptr;       // required: the main resource text
  cmcFCache* lists = nullptr;    // the selection-list cache; the catalogue keeps its own if null
  Prompter* prompter = nullptr;  // required: confirmations (memory display, row edits)
  cmcEvMan* bus = nullptr;       // refresh and status events; may be null
  AppCommands* app = nullptr;    // commands of menus, toolbar and tree; may be null (headless)
};

// The field catalogue: the one place that knows what every cell link means. A data link finds
// its bits in the working image, shows them through a value editor, marks doubtful values and
// applies keys, typed texts and list choices; a command link reports its menu state and, on
// Enter, calls the application.
//
// The catalogue never paints: grey text (0xC0C0C0), the reference colour (0x008080) and the
// quarter pillar come back in the request's `paint` results, marks in `marks` and
// `markPosition`, menu states in `itemState`, and lists or editors to open in `popup` and the
// caret fields, for the painter and the grid to act on.
class FieldCatalogue {
 public:
  explicit FieldCatalogue(const CatalogueServices& services);
  ~FieldCatalogue();
  FieldCatalogue(const FieldCatalogue&) = delete;
  FieldCatalogue& operator=(const FieldCatalogue&) = delete;

  // The single entry for every cell request. `editing` is true for requests from an edit on the
  // grid; only then is the request's repaint callback called. Returns a DispatchResult.
  //
  // A popup-menu item (category CT_PopupMenu) carries the cell it was opened on as `parent`: a
  // state query answers in `itemState`; Enter runs the command on a copy of the parent request
  // and copies its results (text, caret, popup, jump, selection) back into this request.
  int dispatch(cmcCellCapsule& request, bool editing);
  // A menu item or toolbar button: builds a request for `cell` with `key` (13 executes, 0 asks
  // for the state) and dispatches it without a repaint callback.
  int activate(const cmcCellObj& cell, int key);

  void setApp(AppCommands* app);
  AppCommands* app() const;
  cmcFCache& lists();

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// The warning check over the cells of GI_WarningCheckList: each is asked for its state; a range
// mark counts an error and lists the cell's call string as an error page, else a caution mark
// counts a warning and lists it as a warning page.
struct WarningCheckResult {
  int errors = 0;
  int warnings = 0;
  QList<QByteArray> errorPages;
  QList<QByteArray> warningPages;
};
WarningCheckResult runWarningCheck(FieldCatalogue& catalogue, cmcGTex& text);
// A page as the navigation tree names it, from the top folder down ("Memory CH > 0 - 99",
// "Function Memory > F-1 > Common Setting"); the call string itself when the tree lacks it.
QString treePageName(cmcGTex& text, const QByteArray& callString);
// The names of the pages, joined for a message ("Memory CH > 0 - 99, Common Setting").
QString treePageNames(cmcGTex& text, const QList<QByteArray>& callStrings);
