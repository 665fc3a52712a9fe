#pragma once

#include <QByteArray>
#include <QList>
#include <cstdint>
#include <functional>

#include "gtex/celllinks.h"
#include "gtex/selectionlist.h"
#include "model/cmcCellCapsule.h"

class cmcFCache;
class cmcGTex;

// The value editors. A field handler of the catalogue hands the current value to one of them;
// the editor writes the display text into the request, reacts to a key on the current cell
// (steps the value, or asks the grid to open a popup list, the flag-bits dialog or the in-place
// editor), and takes a typed text or a popup choice. It never touches a widget: what the grid is
// to open is described in the request (resultText and caret fields for the in-place editor,
// `popup` for lists and dialogs) and the editor's dispatcher result says which.

// What an editor did with one request.
struct EditResult {
  bool changed = false;          // the value was changed: the handler stores it
  int dispatch = kDispatchDone;  // kDispatchListOpened or kDispatchOpenEditor when asked for
};

// Typed-text matching of selection lists.
enum MatchMode : int {
  kMatchNearestNumber = 0,  // tone frequencies, DTCS codes: the nearest number wins
  kMatchNone = 3,           // tuning step, tone mode, mode: typed text leaves the value
};

// Where editors find the selection lists (the application's selection-list cache): the list
// of `listName` whose choices are linked to `keyLink`, or nullptr when there is none.
using SelectionListLookup =
    std::function<const SelectionList*(const QByteArray& listName, int keyLink)>;

// The emergency channel's circumstances: VFO and CALL are offered only when the memory display
// setting of the same settings block is CH; a memory or edge channel can be chosen only while it
// is in use.
struct EmergencyContext {
  bool offerVfoAndCall = false;
  std::function<bool(int channelIndex)> channelInUse;
};

// Width of the in-place editor for selection lists that take typed numbers.
constexpr int kTypedListTextLimit = 9;

class ValueEditors {
 public:
  // `text` is the main resource text (for the lines of lists built at run time).
  ValueEditors(SelectionListLookup lists, cmcGTex* text) : lists_(std::move(lists)), text_(text) {}
  // The application's shape: lists from its selection-list cache over the same text.
  ValueEditors(cmcFCache& cache, cmcGTex& text);

  // A value chosen from `listName` (items linked to `itemLink`: Flex0, or FlexMarking_Mode).
  EditResult selection(cmcCellCapsule& req, const QByteArray& listName, int& value,
                       int itemLink = Flex0) const;
  // As selection(), and also accepts typed text (match mode 0 or 3).
  EditResult selectionTyped(cmcCellCapsule& req, const QByteArray& listName, int& value,
                            int matchMode, int itemLink = Flex0) const;
  // The marine priority/call flags (bit 0 "P", bit 1 "C"); a choice only ever sets a bit.
  EditResult attribute(cmcCellCapsule& req, const QByteArray& listName, int& flags) const;
  // A frequency in Hz, typed in MHz, clamped into [minHz, maxHz]. The handler snaps it.
  // With emptyStart an edit starts from an empty text (an empty channel).
  static EditResult frequency(cmcCellCapsule& req, int64_t& hz, int64_t minHz, int64_t maxHz,
                              bool emptyStart);
  // A number shown as value + shownOffset; typed values are rounded to `step`.
  static EditResult number(cmcCellCapsule& req, int64_t& value, int64_t min, int64_t max,
                           int64_t shownOffset = 0, int64_t step = 1);
  // Conventional channel numbers with scan-edge labels (or weather channels, shownOffset 1).
  static EditResult channel(cmcCellCapsule& req, int64_t& value, int64_t min, int64_t max,
                            int64_t shownOffset = 0);
  // The emergency channel value 0..207. Enter, space and backspace open a list built from
  // GI_Sheet_Sel_VMC_Data and the template line of GI_Sheet_Sel_VMC_Cells.
  EditResult emergency(cmcCellCapsule& req, int& value, const EmergencyContext& context) const;
  // A fixed-length character field (names, comments).
  static EditResult text(cmcCellCapsule& req, uint8_t* bytes, int length);
  // text() followed by the name character rules on a change (channel and bank names).
  static EditResult name(cmcCellCapsule& req, uint8_t* bytes, int length);
  // A 16-byte DTMF memory.
  static EditResult dtmf(cmcCellCapsule& req, uint8_t* memory, int maxDigits = 24);
  // On/off positions first..last (the first in the most significant used bit). Enter asks for
  // the flag-bits dialog; its word has position k at bit 26 - k.
  static EditResult bitPattern(cmcCellCapsule& req, uint32_t& value, int first, int last,
                               int labelType = kFlagBitsLetters);

  // The lines a list built for the emergency chooser holds (its _Cells section).
  QList<QByteArray> emergencyListLines(int value, const EmergencyContext& context) const;

  static constexpr int kFlagBitsLetters = 3;

 private:
  const SelectionList* list(const QByteArray& name, int keyLink) const;

  SelectionListLookup lists_;
  cmcGTex* text_;
};

// The caution mark of an emergency value (also of each item of its list): the named channel is
// empty, or the value is VFO or CALL while those are offered.
bool emergencyCaution(int value, const EmergencyContext& context);

// Converting between a bit pattern and the flag-bits dialog's word.
uint32_t flagBitsWord(uint32_t value, int first, int last);
uint32_t flagBitsValue(uint32_t word, int first, int last);

// Fills `%d` (and `%%`) of a resource template line with `value`; other characters are copied.
QByteArray fillTemplateLine(const QByteArray& templ, int value);
