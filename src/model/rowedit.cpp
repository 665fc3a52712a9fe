#include "model/rowedit.h"

#include <algorithm>

#include "base/cmcEvMan.h"
#include "base/events.h"
#include "base/prompter.h"
#include "base/textcodec.h"
#include "gtex/cmcCellObj.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/cmcClipCh.h"
#include "model/cmcEeprom.h"
#include "model/memorymap.h"
#include "model/numbering.h"

namespace {

struct Block {
  int first;
  int last;
  bool empty() const { return first > last; }
  int count() const { return last - first + 1; }
};

class RowEdit {
 public:
  RowEdit(cmcCellCapsule& request, ChannelView& view, int rangeFirst, int rangeLast,
          RowEditContext& context)
      : req_(request),
        kind_(view.kind()),
        current_(view.index()),
        range_{rangeFirst, rangeLast},
        c_(context) {
    if (request.multipleSelection.bits & kMultiSelectActive) {
      block_ = {std::min(request.multipleSelection.first, request.multipleSelection.last),
                std::max(request.multipleSelection.first, request.multipleSelection.last)};
    } else {
      block_ = {current_, current_};
    }
  }

  void run(int command) {
    if (current_ < range_.first || current_ > range_.last) return;
    switch (command) {
      case CL_PMenu_Copy:
        copy();
        break;
      case CL_PMenu_Paste:
        paste();
        break;
      case CL_PMenu_CarryUp:
        carry(-1);
        break;
      case CL_PMenu_CarryDown:
        carry(+1);
        break;
      case CL_PMenu_Clear:
        clear();
        break;
      case CL_PMenu_Delete:
        remove();
        break;
      case CL_PMenu_Insert:
        insert();
        break;
      default:
        break;
    }
  }

 private:
  // The block limited to the row range.
  Block clipped() const {
    return {std::max(block_.first, range_.first), std::min(block_.last, range_.last)};
  }

  bool anyInUse(int first, int last) const {
    ChannelView v(c_.working, c_.options);
    for (int i = first; i <= last; ++i) {
      if (v.load(kind_, i) && v.inUse) return true;
    }
    return false;
  }

  // Blank channels: the default image's channels, marked not in use.
  void blank(int first, int last) {
    if (first > last) return;
    cmcClipCh blanks;
    blanks.capture(c_.defaults, c_.options, kind_, first, last - first + 1);
    blanks.markNotInUse();
    blanks.paste(c_.working, c_.options, kind_, first, last - first + 1);
  }

  void move(int from, int count, int to) {
    if (count <= 0) return;
    cmcClipCh rows;
    rows.capture(c_.working, c_.options, kind_, from, count);
    rows.paste(c_.working, c_.options, kind_, to, count);
  }

  bool confirm(const char* key) { return confirmLoss(c_.prompter, c_.text, key); }

  // "Channel 5", "Channels 5 to 9", "Channels 1A to 3B": the rows a question is about.
  QString named(int first, int last) const {
    auto label = [this](int i) {
      if (numbering::isMemory(kind_, i)) return QString::number(i);
      if (numbering::isScanEdge(kind_, i))
        return QString::fromLatin1(numbering::scanEdgeLabel(i - numbering::kFirstScanEdge));
      if (numbering::isCall(kind_, i)) return QStringLiteral("CALL");
      return QString::number(i);
    };
    if (first == last) return QStringLiteral("Channel %1").arg(label(first));
    return QStringLiteral("Channels %1 to %2").arg(label(first), label(last));
  }

  void status(const char* key) {
    if (c_.events) c_.events->send(ev::kStatusText, 0, 0, c_.text.getValue(key).constData());
  }
  void refreshAll() {
    if (c_.events) c_.events->send(ev::kRefreshAllSheets);
  }
  void refreshRow(int index) {
    if (c_.events) c_.events->send(ev::kRefreshRow, index);
  }

  void select(int first, int last) {
    req_.multipleSelection.bits |= kMultiSelectApplied;
    req_.multipleSelection.first = first;
    req_.multipleSelection.last = last;
  }
  void dropSelection() {
    req_.multipleSelection.bits &=
        static_cast<uint8_t>(~(kMultiSelectActive | kMultiSelectApplied));
    req_.multipleSelection.first = req_.multipleSelection.last = current_;
  }
  void moveCursor(int index) {
    req_.jump.requested = true;
    req_.jump.category = req_.cell ? req_.cell->category : CT_None;
    req_.jump.link = req_.cell ? req_.cell->link : CL_None;
    req_.jump.index = index;
    req_.jump.key = kKeyNone;
  }

  void copy() {
    const Block b = clipped();
    if (b.empty()) return;
    c_.clipboard.capture(c_.working, c_.options, kind_, b.first, b.count());
    select(b.first, b.last);
    status("GI_AppMess_S_Copy");
  }

  void paste() {
    const int d = current_;
    if (!c_.clipboard.canPaste(kind_)) return;
    // The call channel is always in use: an empty channel cannot be pasted onto it.
    if (kind_ == kKindConventional && d == numbering::kCallChannel &&
        c_.clipboard.holdsEmptyChannel()) {
      return;
    }
    const int room = range_.last + 1 - d;
    if (room < c_.clipboard.count() && !confirm("GI_AppMess_Conv_Overflow_Paste")) return;
    const int e = std::min(room, c_.clipboard.count());
    if (anyInUse(d, d + e - 1) && !confirm("GI_AppMess_Conv_Overwrite")) return;
    c_.clipboard.paste(c_.working, c_.options, kind_, d, e);
    if (e == 1) {
      refreshRow(d);
    } else {
      refreshAll();
    }
    select(d, d + e - 1);
    status("GI_AppMess_S_Paste");
  }

  void carry(int direction) {
    const Block b = clipped();
    if (b.empty()) return;
    if (direction > 0 && b.last >= range_.last) return;
    if (direction < 0 && b.first <= range_.first) return;
    const int neighbour = direction > 0 ? b.last + 1 : b.first - 1;
    cmcClipCh moved, other;
    other.capture(c_.working, c_.options, kind_, neighbour, 1);
    moved.capture(c_.working, c_.options, kind_, b.first, b.count());
    moved.paste(c_.working, c_.options, kind_, b.first + direction, b.count());
    other.paste(c_.working, c_.options, kind_, direction > 0 ? b.first : b.last, 1);
    select(b.first + direction, b.last + direction);
    moveCursor(direction > 0 ? b.last + 1 : b.first - 1);
    // The neighbour moved to the other end of the block: every moved row needs repainting.
    refreshAll();
  }

  void clear() {
    if (!numbering::supportsRowEdits(kind_)) return;
    const Block b = clipped();
    if (b.empty() || !anyInUse(b.first, b.last)) return;
    if (!confirm("GI_AppMess_Conv_Clear")) return;
    blank(b.first, b.last);
    for (int i = b.first; i <= b.last; ++i) refreshRow(i);
    status("GI_AppMess_S_Clear");
  }

  void remove() {
    if (!numbering::supportsRowEdits(kind_)) return;
    const Block b = clipped();
    if (b.empty()) return;
    const int d = b.first, c = b.last;
    if (anyInUse(d, c) && !confirmLoss(c_.prompter, c_.text, "GI_AppMess_Conv_Delete", named(d, c)))
      return;
    if (c < range_.last) move(c + 1, range_.last - c, d);
    blank(range_.last - (c - d), range_.last);
    dropSelection();
    moveCursor(d);
    refreshAll();
    status("GI_AppMess_S_Delete");
  }

  void insert() {
    if (!numbering::supportsRowEdits(kind_)) return;
    const Block b = clipped();
    if (b.empty()) return;
    const int d = b.first, c = b.last;
    if (anyInUse(range_.last - (c - d), range_.last) && !confirm("GI_AppMess_Conv_Overflow")) {
      return;
    }
    if (c < range_.last) move(d, range_.last - c, c + 1);
    blank(d, c);
    refreshAll();
    select(d, c);
    status("GI_AppMess_S_Insert");
  }

  cmcCellCapsule& req_;
  int kind_;
  int current_;
  Block range_;
  Block block_{0, -1};
  RowEditContext& c_;
};

int functionDisplayMode(const cmcEeprom& image, int index) {
  const int address =
      (index == 0 ? memmap::kF1State : memmap::kF2State) + memmap::state::kDisplayMode;
  if (!image.isValid(address)) return memmap::kDisplayVFO;
  return memmap::displayMode(image.getByte(address));
}

}  // namespace

int rowEdit(int command, cmcCellCapsule& request, ChannelView& view, int rangeFirst, int rangeLast,
            RowEditContext& context) {
  const int kind = view.kind();
  const int index = view.index();
  RowEdit(request, view, rangeFirst, rangeLast, context).run(command);
  view.load(kind, index);
  return kDispatchDone;
}

bool rowEditDisabled(int command, int kind, int index, const cmcClipCh& clipboard,
                     const cmcEeprom& working) {
  if (!numbering::kindRange(kind).contains(index)) return true;
  const bool memory = numbering::isMemory(kind, index);
  const bool edge = numbering::isScanEdge(kind, index);
  const bool call = numbering::isCall(kind, index);
  const bool marine = numbering::isMarine(kind, index);
  const int block = numbering::kMemoryBlockSize;
  switch (command) {
    case CL_PMenu_Copy:
      return false;
    case CL_PMenu_Paste:
      return !clipboard.canPaste(kind) || (call && clipboard.holdsEmptyChannel());
    case CL_PMenu_CarryUp:
      if (memory) return index % block == 0;
      if (edge) return index == numbering::kFirstScanEdge;
      if (call || marine) return true;
      if (kind == kKindFunction) return index == 0;
      return false;
    case CL_PMenu_CarryDown:
      if (memory) return index % block == block - 1;
      if (edge) return index == numbering::kLastScanEdge;
      if (call || marine) return true;
      if (kind == kKindFunction) return index == numbering::kFunctionMemoryCount - 1;
      return false;
    case CL_PMenu_Clear:
    case CL_PMenu_Delete:
    case CL_PMenu_Insert:
      if (call) return true;
      if (kind == kKindFunction) {
        const int mode = functionDisplayMode(working, index);
        return mode != memmap::kDisplayMemory && mode != memmap::kDisplayMemoryAlt;
      }
      return false;
    default:
      return false;
  }
}

bool confirmLoss(Prompter& prompter, cmcGTex& text, const char* key, const QString& detail) {
  PromptMessage message;
  message.caption = text.lineText("GI_Sys_AppTitle");
  message.text = fromCp932(text.getSectionText(key));
  if (!detail.isEmpty()) message.text += QStringLiteral("\n\n") + detail;
  message.buttons = PromptButtons::OkCancel;
  message.icon = PromptIcon::Warning;
  message.defaultAnswer = PromptAnswer::Ok;
  return prompter.ask(message) == PromptAnswer::Ok;
}
