#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <cstdint>
#include <functional>

#include "gtex/celllinks.h"

class cmcCellObj;

// Keys a request can carry. 1..255 are characters typed on the current cell.
enum CellKey : int {
  kKeyNone = 0,  // display, store the typed text, or apply the popup command / choice
  kKeyBackspace = 8,
  kKeyEnter = 13,
  kKeySpace = 32,
  kKeyFullStop = 46,
  kKeyDoubleClick = 256,  // also a left click in dialog sheets; Enter inside popup lists
  kKeyLeftAtRowStart = 0x2500,
  kKeyRightAtRowEnd = 0x2700,
  kKeyF1 = 0x7000,    // F1..F12 are 0x7000..0x7B00 (key code x 256)
  kKeyEdit = 0x7100,  // F2
  kKeyF12 = 0x7B00,
  kKeyCompositionStart = 0x10007,  // an input-method composition started on the current cell
};

constexpr int functionKey(int n) { return kKeyF1 + (n - 1) * 0x100; }  // n = 1..12

// Bits of the value handed to the repaint callback; the grid repaints every cell that matches
// any of them, compared with the request's cell.
enum RepaintRule : int {
  kRepaintSameLinkAndIndex = 1,
  kRepaintSameCategory = 2,
  kRepaintSameLink = 4,
  kRepaintSameIndex = 8,
  kRepaintAdjacentIndex = 16,  // index differing by at most 1 within the same category
  kRepaintAllLinked = 32,
  kRepaintIndexFrom = 64,   // index at least the request cell's
  kRepaintIndexUpTo = 128,  // index at most the request cell's
};

// What the dispatcher answers.
enum DispatchResult : int {
  kDispatchDone = 0,        // nothing more to do
  kDispatchListOpened = 1,  // a popup selection list was opened for the cell
  kDispatchOpenEditor = 2,  // open the in-place editor with result text, max length and caret
};

enum CellOperation : int {
  kOpDisplayOrKey = 0,
  kOpTextEntered = 1,  // typed text is valid
  kOpChoiceMade = 2,   // parent is valid
};

// Bits of cmcCellCapsule::marks.
enum CellMark : uint8_t {
  kMarkCurrentCell = 1,  // set by the grid
  kMarkPrinting = 2,     // set by the grid
  kMarkCaution = 4,      // result: caution image
  kMarkRange = 8,        // result: drawn with the error image
};

enum MarkPosition : int {
  kMarkByAlignment = 0,
  kMarkLeft = 1,
  kMarkRightEdge = 2,
  kMarkAfterText = 3,
};

// Images of the marks in the grid's image list.
constexpr int kCautionImage = 4;
constexpr int kErrorImage = 5;

constexpr uint8_t kSignificantAll = 255;

// Bits of cmcCellCapsule::MultipleSelection::bits.
constexpr uint8_t kMultiSelectActive = 1;   // input: rows are multiply selected
constexpr uint8_t kMultiSelectApplied = 2;  // result: the command applies to the whole range

// What the grid is to open for the cell when the dispatcher answers kDispatchListOpened.
enum PopupKind : int {
  kPopupNone = 0,
  kPopupList = 1,      // the selection list `listName` (or the built `cellLines`) on `value`
  kPopupFlagBits = 2,  // the flag-bits dialog on the word `value`, positions first..last
};

// Decorations a link asks the painter to draw (the catalogue itself never paints).
enum CellDecoration : int {
  kDecorationNone = 0,
  kDecorationQuarterPillar = 1,  // grey (0x808080) bar over the lower three tenths of the cell
  kDecorationCheckMark = 2,      // filled check mark in the font colour (flag-bits dialog)
};

// Who sends a request. Key, edit and command requests on the current cell come from a grid
// (or a front end standing where the grid would); display requests of the painter and state
// queries of menus and the tree do not.
enum class CellOrigin : uint8_t {
  Display = 0,
  Grid = 1,
};

// One request for one cell, from a grid, menu, toolbar or dialog to the field catalogue's
// dispatcher, and the answer that comes back in it. Owned by the caller; fields keep their
// declared order.
struct cmcCellCapsule {
  const cmcCellCapsule* parent = nullptr;  // dialog sheet / popup list: the cell it was opened for
  CellOrigin origin = CellOrigin::Display;
  const cmcCellObj* cell = nullptr;  // category, link, index, argument

  // Set while painting. The catalogue does not draw: it answers with a font colour and a
  // decoration, and the painter draws them.
  struct Paint {
    bool active = false;
    QRect cellRect;
    bool fontColourSet = false;        // result
    uint32_t fontColour = 0;           // result, 0x00BBGGRR or a system colour
    int decoration = kDecorationNone;  // result
  } paint;
  const void* imageList = nullptr;  // the painter's images for the marks; opaque here

  int caretStart = 0;  // results: how the in-place editor opens
  int caretLength = 0;
  int maxLength = 0;
  int key = kKeyNone;
  int popupCommand = 0;   // link id of a popup-menu command applied to this cell, 0 none
  QByteArray typedText;   // input, code page 932
  QByteArray resultText;  // result: the display text, code page 932
  uint8_t significantLength = kSignificantAll;  // result: beyond this many, drawn in silver
  QByteArray sheetName;                         // call-string name of the sheet the cell belongs to
  QByteArray
      sheetArguments;  // its argument text; the first comma-separated field is the sheet number
  uint8_t marks = 0;
  int markPosition = kMarkByAlignment;
  int operation = kOpDisplayOrKey;

  struct JumpRequest {
    bool requested = false;  // result: move to another cell of the same row and replay the key
    int category = CT_None;
    int link = CL_None;
    int index = 0;
    int key = kKeyNone;
  } jump;

  struct MultipleSelection {
    uint8_t bits = 0;
    int first = 0;  // lowest index of the range
    int last = 0;   // highest index of the range
  } multipleSelection;

  std::function<void(int rules)> repaint;  // called after an edit with RepaintRule bits
  std::function<void()> reopenEditor;      // lets a handler open the in-place editor again

  // Result with kDispatchListOpened. The catalogue never opens windows itself: it describes
  // here the list or dialog the grid is to open for this cell.
  struct PopupRequest {
    int kind = kPopupNone;
    QByteArray listName;          // list: the GI_Sheet_Sel_<name> stem of its description
    int keyLink = CL_None;        // list: the link of its choices
    int value = 0;                // list: the choice made current; flag bits: the value word
    QList<QByteArray> cellLines;  // a list built for the occasion: the lines of its _Cells
    int first = 0;                // flag bits: first and last position numbers, label type
    int last = 0;
    int labelType = 0;
  } popup;

  // Results of a state query on a menu item, toolbar button or tree node, and the name state
  // of a name cell. The catalogue answers here rather than in the (shared, const) cell.
  struct ItemState {
    bool checked = false;
    bool disabled = false;
    bool hidden = false;
    bool captionSet = false;  // resultText is the item's new caption
    int nameState = 0;        // 1: the name is shown as "---" and cannot be edited
  } itemState;

  bool forPainting() const { return origin == CellOrigin::Display; }
  bool fromGrid() const { return origin == CellOrigin::Grid; }
};
