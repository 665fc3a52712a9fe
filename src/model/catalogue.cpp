#include "model/catalogue.h"

#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/events.h"
#include "base/prompter.h"
#include "gtex/celllinks.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "gtex/outline.h"
#include "base/textcodec.h"
#include "model/appcommands.h"
#include "model/catalogue_impl.h"
#include "model/cmcEeprom.h"
#include "model/destinations.h"
#include "model/document.h"
#include "model/editor_channel.h"
#include "model/numbering.h"
#include "model/rowedit.h"

using namespace memmap;

namespace {

// The first comma-separated field of a sheet's arguments, trimmed and read as a decimal number.
int sheetNumberOf(const QByteArray& arguments) {
  const int comma = arguments.indexOf(',');
  const QByteArray first = (comma < 0 ? arguments : arguments.left(comma)).trimmed();
  int i = 0;
  bool negative = false;
  if (i < first.size() && (first[i] == '-' || first[i] == '+')) negative = first[i++] == '-';
  if (i >= first.size() || first[i] < '0' || first[i] > '9') return -1;
  int value = 0;
  for (; i < first.size() && first[i] >= '0' && first[i] <= '9' && value < 100000000; ++i) {
    value = value * 10 + (first[i] - '0');
  }
  return negative ? -value : value;
}

// The settings and state blocks a sheet number selects: 8 and 9 F-1, 10 and 11 F-2.
int blockOfSheet(int sheetNumber) {
  if (sheetNumber == 8 || sheetNumber == 9) return 1;
  if (sheetNumber == 10 || sheetNumber == 11) return 2;
  return 0;
}

// Links that are named but have no implementation: their cells show "<id> *Yet*".
bool notImplemented(int link) {
  switch (link) {
    case FlexSpace:
    case FlexKeyOpt:
    case CL_Menu_View_Language:
    case CL_Menu_CallSign_RptDialog:
    case CL_Menu_CallSign_AutoCorrect:
    case CL_PMenu_BankOff:
    case CL_PMenu_Rpt_Set:
    case CL_FBits:
    case CL_Misc_ChInfo_No:
    case CL_Misc_ChNo_PLink:
    case CL_Misc_GroupNm:
      return true;
    default:
      break;
  }
  return (link >= CL_Menu_Debug_Compare && link <= CL_Menu_Debug_PopupHelpCheck) ||
         (link >= CL_Debug_Info_Destination && link <= CL_Debug_ICS_LOAD) ||
         (link >= CL_PMenu_NameDispAllOn && link <= CL_PMenu_Help) ||
         (link >= CL_Disp_Degug_ChNo_MR && link <= CL_Disp_Degug_ChNo_WX) || link > CL_None;
}

bool isRowEditCommand(int link) { return link >= CL_PMenu_Copy && link <= CL_PMenu_Insert; }

// "%s" of a resource line filled with `value`.
QByteArray fillText(QByteArray line, const QByteArray& value) {
  const int at = line.indexOf("%s");
  if (at >= 0) line.replace(at, 2, value);
  return line;
}

}  // namespace

// --- FieldCatalogue --------------------------------------------------------------------------

FieldCatalogue::FieldCatalogue(const CatalogueServices& services)
    : impl_(std::make_unique<Impl>(services)) {}

FieldCatalogue::~FieldCatalogue() = default;

int FieldCatalogue::dispatch(cmcCellCapsule& request, bool editing) {
  return impl_->dispatch(request, editing);
}

int FieldCatalogue::activate(const cmcCellObj& cell, int key) {
  cmcCellCapsule request;
  request.cell = &cell;
  request.key = key;
  return impl_->dispatch(request, false);
}

void FieldCatalogue::setApp(AppCommands* app) { impl_->app = app; }
AppCommands* FieldCatalogue::app() const { return impl_->app; }
cmcFCache& FieldCatalogue::lists() { return impl_->lists; }

WarningCheckResult runWarningCheck(FieldCatalogue& catalogue, cmcGTex& text) {
  WarningCheckResult result;
  cmcCellParser parser(text);
  for (int n = 0;; ++n) {
    const QByteArray line = text.getLine("GI_WarningCheckList", n);
    if (line.startsWith('#')) break;
    cmcCellObj cell;
    parser.parseCell(cell, line, nullptr, nullptr);
    cmcCellCapsule request;
    request.cell = &cell;
    catalogue.dispatch(request, false);
    const QByteArray page = cell.argument.value_or(QByteArray());
    if (request.marks & kMarkRange) {
      ++result.errors;
      result.errorPages.append(page);
    } else if (request.marks & kMarkCaution) {
      ++result.warnings;
      result.warningPages.append(page);
    }
  }
  return result;
}

QString treePageName(cmcGTex& text, const QByteArray& callString) {
  cmcCellParser parser(text);
  // The captions of the open folders on the way down; the root's (the model name) is left out.
  std::vector<QString> path;
  for (const OutlineLine& line : readOutline(text, "GI_Tree_Main_Body")) {
    cmcCellObj cell;
    parser.parseCell(cell, line.cellText, nullptr, nullptr);
    const int depth = line.depth;
    path.resize(size_t(std::max(depth, 0)));
    path.push_back(fromCp932(cell.text.value_or(QByteArray())).simplified());
    if (cell.link == CallSheet && cell.argument == callString) {
      QStringList names;
      for (const QString& caption : path)
        if (!caption.isEmpty()) names << caption;
      return names.join(QStringLiteral(" > "));
    }
  }
  return QString::fromLatin1(callString);
}

QString treePageNames(cmcGTex& text, const QList<QByteArray>& callStrings) {
  QStringList names;
  for (const QByteArray& call : callStrings) names << treePageName(text, call);
  return names.join(QStringLiteral(", "));
}

// --- Impl: helpers ---------------------------------------------------------------------------

namespace {
cmcFCache* makeLists(const CatalogueServices& s, std::unique_ptr<cmcFCache>& own) {
  if (s.lists) return s.lists;
  own = std::make_unique<cmcFCache>(*s.text);
  return own.get();
}
}  // namespace

FieldCatalogue::Impl::Impl(const CatalogueServices& s)
    : doc(*s.document),
      text(*s.text),
      lists(*makeLists(s, ownLists)),
      editors(lists, text),
      prompter(*s.prompter),
      bus(s.bus),
      app(s.app) {}

bool FieldCatalogue::Impl::keyPending(const cmcCellCapsule& req) {
  return req.operation == kOpDisplayOrKey && req.key != kKeyNone && req.fromGrid();
}

void FieldCatalogue::Impl::grey(cmcCellCapsule& req) {
  req.paint.fontColourSet = true;
  req.paint.fontColour = kGreyTextColour;
}

uint8_t FieldCatalogue::Impl::setting(const Request& r, int offset) const {
  return doc.working().getByte(r.settingsAddress + offset);
}

void FieldCatalogue::Impl::setSetting(Request& r, int offset, int value) {
  doc.working().setByte(r.settingsAddress + offset, uint8_t(value));
  r.changed = true;
}

void FieldCatalogue::Impl::setSettingAllBlocks(Request& r, int offset, int value) {
  for (int block : kSettingsBlocks) doc.working().setByte(block + offset, uint8_t(value));
  r.changed = true;
}

int FieldCatalogue::Impl::functionDisplayMode(int index) const {
  const int address = (index == 0 ? kF1State : kF2State) + state::kDisplayMode;
  return memmap::displayMode(doc.working().getByte(address));
}

bool FieldCatalogue::Impl::conventionalInUse(int index) const {
  ChannelView v(const_cast<cmcEeprom&>(doc.working()), doc.options());
  return v.load(kKindConventional, index) && v.inUse;
}

void FieldCatalogue::Impl::commitView(Request& r) {
  r.view.commit();
  r.changed = true;
}

int FieldCatalogue::Impl::settingList(Request& r, int offset, const char* list) {
  int value = setting(r, offset);
  const EditResult e = editors.selection(r.req, list, value);
  if (e.changed) setSetting(r, offset, value);
  return e.dispatch;
}

int FieldCatalogue::Impl::viewList(Request& r, const char* list, int& field, int match,
                                   int itemLink) {
  int value = field;
  const EditResult e = match < 0 ? editors.selection(r.req, list, value, itemLink)
                                 : editors.selectionTyped(r.req, list, value, match, itemLink);
  if (e.changed) {
    field = value;
    commitView(r);
  }
  return e.dispatch;
}

EmergencyContext FieldCatalogue::Impl::emergencyContext(const Request& r) const {
  EmergencyContext context;
  context.offerVfoAndCall = setting(r, settings::kMemoryDisp) == 1;
  context.channelInUse = [this](int index) {
    return index >= 0 && index <= numbering::kLastScanEdge && conventionalInUse(index);
  };
  return context;
}

// --- Impl: the dispatch steps ----------------------------------------------------------------

int FieldCatalogue::Impl::dispatch(cmcCellCapsule& req, bool editing) {
  if (!req.cell) return kDispatchDone;
  const cmcCellObj& cell = *req.cell;
  Request r(req, cell);
  const bool carried =
      req.key != kKeyNone || req.operation == kOpTextEntered || req.popupCommand != 0;

  // 1. The channel view on the working image.
  r.kind = channelKindOf(cell.category);
  r.view.setOptions(doc.options());
  r.view.bind(doc.working());

  // 2. The blocks the sheet selects.
  const QByteArray* arguments = &req.sheetArguments;
  if (req.parent &&
      (cell.link == FlexVMCCh || (cell.category == CT_PopupMenu && req.sheetArguments.isEmpty()))) {
    arguments = &req.parent->sheetArguments;
  }
  r.sheetNumber = sheetNumberOf(*arguments);
  r.block = blockOfSheet(r.sheetNumber);
  r.stateAddress = kStateBlocks[r.block];
  r.settingsAddress = kSettingsBlocks[r.block];
  r.displayMode = memmap::displayMode(doc.working().getByte(r.stateAddress + state::kDisplayMode));
  r.usa = doc.isUSA();

  // 3. Fresh results; the cell's own place in the jump fields.
  req.resultText.clear();
  req.marks &= uint8_t(~(kMarkCaution | kMarkRange));
  r.loaded = r.kind != kKindNone && r.view.load(r.kind, r.index);
  req.jump.requested = false;
  req.jump.category = cell.category;
  req.jump.link = cell.link;
  req.jump.index = cell.index;
  req.jump.key = kKeyNone;

  int result = kDispatchDone;
  bool ended = false;

  // 4. A popup command applied to this cell.
  if (req.popupCommand != 0) {
    const numbering::IndexRange range = numbering::rowEditRange(r.kind, r.index);
    if (req.popupCommand == CL_PMenu_Edit) {
      req.key = kKeyEnter;
    } else if (isRowEditCommand(req.popupCommand)) {
      if (r.loaded && range.first <= range.last) {
        RowEditContext context{
            doc.working(), doc.defaultImage(), doc.options(), doc.clipboard(), prompter, text, bus};
        const cmcEeprom before = doc.working();
        result = rowEdit(req.popupCommand, req, r.view, range.first, range.last, context);
        r.changed = doc.working().differs(before);
      }
      ended = true;
    } else if (req.popupCommand == CL_PMenu_Help) {
      if (HelpRole* h = app ? app->helpRole() : nullptr) h->contextHelp(cell.link);
    }
  }

  if (!ended) {
    // 5. A popup-menu item works on the channel of the cell it was opened on.
    if (cell.category == CT_PopupMenu && req.parent && req.parent->cell) {
      r.kind = channelKindOf(req.parent->cell->category);
      r.index = req.parent->cell->index;
      r.loaded = r.kind != kKindNone && r.view.load(r.kind, r.index);
    }
    // 6, 7 and 8.
    if (!emptyChannelRule(r)) result = handleLink(r);
  }

  // 9. Repaint, status and the delayed check.
  if (r.kind != kKindNone) r.rules |= kRepaintSameIndex;
  if (editing && r.rules && req.repaint) req.repaint(r.rules);
  if (r.changed && app) app->dataChanged();
  if (carried) {
    if (app) app->refreshStatus();
    doc.isModified();
  }
  return result;
}

// Empty conventional channels and function memories show nothing; a key on any of their cells
// but the frequency goes to the frequency cell of the same row. True when the dispatch ends.
bool FieldCatalogue::Impl::emptyChannelRule(Request& r) {
  cmcCellCapsule& req = r.req;
  if (!r.loaded || req.popupCommand == CL_PMenu_Help) return false;
  const bool toFrequency = r.link != CL_Mch_Freq;
  auto showEmpty = [&] {
    req.resultText.clear();
    if (!toFrequency) return false;
    req.jump.requested = true;
    req.jump.link = CL_Mch_Freq;
    req.jump.key = req.key;
    return true;
  };

  if (r.category == CT_Conv) {
    const bool empty = !r.view.inUse || r.view.frequency >= kEmptyChannelFrequencyHz;
    const bool label =
        r.link == CL_Misc_ChNo_0Base || r.link == CL_Misc_ChNo_1Base || r.link == CL_Misc_ChNo_Edge;
    if (empty && !label && (req.key < 128 || req.key == kKeyEdit)) return showEmpty();
    return false;
  }
  if (r.category == CT_Func) {
    const bool empty = !r.view.inUse || r.view.frequency >= 1000000000u;
    const bool display = r.link == CL_Disp_VMC || r.link == CL_Disp_ChNo;
    if (empty && !display && req.key < 128 && showEmpty()) return true;
    if (r.displayMode == kDisplayWX) {
      if (r.link == CL_Mch_Freq) {
        r.ignoreKeys = true;
      } else if (!display) {
        req.resultText.clear();
        return true;
      }
    }
  }
  return false;
}

int FieldCatalogue::Impl::handleLink(Request& r) {
  cmcCellCapsule& req = r.req;
  const int link = r.link;

  // Popup-menu items executed: the command runs on the cell the menu was opened on.
  if (r.category == CT_PopupMenu && req.key == kKeyEnter &&
      (link == CL_PMenu_Edit || isRowEditCommand(link) || link == CL_PMenu_Help)) {
    return popupCommandOnParent(r);
  }
  if (notImplemented(link)) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d *Yet*", link);
    req.resultText = buffer;
    return kDispatchDone;
  }
  if (link >= CL_Mch_Freq && link <= CL_Mch_Bank_Group) return channelField(r);
  if (link >= CL_Common_DTMF_CH_NO && link <= CL_Common_CloneComment) return commonSetting(r);
  if ((link >= CL_Menu_File_New && link <= CL_Help_Contents) || link == CallSheet ||
      (link >= CL_PMenu_NoItem && link <= CL_PMenu_Insert)) {
    return command(r);
  }
  if (link >= CL_Check_MemoryCH0 && link <= CL_Check_F2_Common) return summaryCheck(r);

  switch (link) {
    case Flex0:
    case FlexVMCCh:
    case FlexMarking_Mode:
      return listItem(r);
    case CL_CloneInfo_Comment: {
      CloneInfo& info = doc.cloneInfo();
      return ValueEditors::text(req, info.bytes.data() + CloneInfo::kComment,
                                CloneInfo::kCommentLength)
          .dispatch;
    }
    case CL_CloneInfo_Esn:
    case CL_CloneInfo_Destination:
    case CL_CloneInfo_Marine:
    case CL_CloneInfo_FmNarrow:
    case CL_CloneInfo_RxExpand:
    case CL_CloneInfo_HighPower:
      req.resultText = cloneInfoText(link, doc.cloneInfo());
      return kDispatchDone;
    case CL_Misc_ChNo_0Base:
      req.resultText = numbering::labelZeroBased(r.index);
      return kDispatchDone;
    case CL_Misc_ChNo_1Base:
      req.resultText = numbering::labelOneBased(r.index);
      return kDispatchDone;
    case CL_Misc_BankNm:
      req.resultText = numbering::bankLetter(r.index);
      return kDispatchDone;
    case CL_Misc_ChNo_Edge:
      req.resultText = numbering::scanEdgeLabel(r.index);
      return kDispatchDone;
    case CL_Misc_QuarterPillar:
    case CL_Misc_QuarterPillarSpecial:
      req.paint.decoration = kDecorationQuarterPillar;
      return kDispatchDone;
    case CL_Top_Version:
    case CL_Top_Copyright: {
      const bool version = link == CL_Top_Version;
      QByteArray value = app ? (version ? app->versionText() : app->yearText()) : QByteArray();
      if (value.isEmpty()) value = text.getLine("GI_Version_Default", version ? 0 : 1);
      req.resultText = fillText(text.getLine("GI_Sys_TopPage", version ? 0 : 1), value);
      return kDispatchDone;
    }
    case CL_ChList_Atr:
      return marineAttribute(r);
    case CL_Disp_VMC:
      return displayMode(r);
    case CL_Disp_ChNo:
      return displayChannel(r);
    case CL_Bank_Name:
      if (r.index < 0 || r.index >= kBankCount) return kDispatchDone;
      return ValueEditors::name(req, doc.working().data() + kBankNames + kBankNameStride * r.index,
                                kBankNameLength)
          .dispatch;
    case CL_DTMF_ChNo:
      req.resultText = numbering::dtmfLabel(r.index);
      return kDispatchDone;
    case CL_DTMF_Memory_Code: {
      if (r.index < 0 || r.index >= kDtmfMemoryCount) return kDispatchDone;
      uint8_t* memory = doc.working().data() + kDtmfMemories + kDtmfMemorySize * r.index;
      const EditResult e = ValueEditors::dtmf(req, memory, kDtmfMaxDigits);
      r.changed = r.changed || e.changed;
      return e.dispatch;
    }
    default:
      // CL_Null, CL_PMenu_Edit, no link, and the memory debug window's cells show nothing.
      return kDispatchDone;
  }
}

// An executed popup-menu item: the command is applied to (a copy of) the request of the cell the
// menu was opened on, and what it answers is handed back in this request.
int FieldCatalogue::Impl::popupCommandOnParent(Request& r) {
  cmcCellCapsule& req = r.req;
  if (!req.parent || !req.parent->cell) {
    if (HelpRole* h = app ? app->helpRole() : nullptr; h && r.link == CL_PMenu_Help)
      h->contextHelp(CL_None);
    return kDispatchDone;
  }
  cmcCellCapsule target = *req.parent;
  target.parent = nullptr;
  target.key = kKeyNone;
  target.operation = kOpDisplayOrKey;
  target.typedText.clear();
  target.popupCommand = r.link;
  const int result = dispatch(target, true);
  req.resultText = target.resultText;
  req.caretStart = target.caretStart;
  req.caretLength = target.caretLength;
  req.maxLength = target.maxLength;
  req.popup = target.popup;
  req.jump = target.jump;
  req.multipleSelection = target.multipleSelection;
  req.marks = target.marks;
  return result;
}
