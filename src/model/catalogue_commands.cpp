// Command links (menus, toolbar, tree, popup menus), the summary checks and the items of
// selection lists.

#include "model/appcommands.h"
#include "model/catalogue_impl.h"
#include "model/cmcEeprom.h"
#include "model/document.h"
#include "model/editor_channel.h"
#include "model/numbering.h"
#include "model/rowedit.h"

using namespace memmap;

int FieldCatalogue::Impl::command(Request& r) {
  cmcCellCapsule& req = r.req;
  auto& state = req.itemState;
  const bool execute = req.key == kKeyEnter;
  DocumentRole* d = app ? app->documentRole() : nullptr;
  ViewRole* v = app ? app->viewRole() : nullptr;
  CloneRole* c = app ? app->cloneRole() : nullptr;
  HelpRole* h = app ? app->helpRole() : nullptr;
  const bool visible = d && d->mainWindowVisible();

  switch (r.link) {
    case CL_Menu_File_New:
      if (execute && visible) d->newDocument();
      break;
    case CL_Menu_File_Open:
      if (execute && visible) d->openDocument();
      break;
    case CL_Menu_File_Save:
      if (execute && visible) {
        if (doc.isUntitled()) {
          d->saveDocumentAs();
        } else {
          d->saveDocument();
        }
      }
      break;
    case CL_Menu_File_SaveAs:
      if (execute && d) d->saveDocumentAs();
      break;
    case CL_Menu_File_Import:
      state.disabled = !d || !d->importAvailable();
      if (execute && !state.disabled) d->importChannels();
      break;
    case CL_Menu_File_Export:
      state.disabled = !d || !d->exportAvailable();
      if (execute && !state.disabled) d->exportChannels();
      break;
    case CL_Menu_File_Print_Current:
      state.disabled = !d || !d->canPrintCurrentSheet();
      if (execute && !state.disabled) d->printCurrentSheet();
      break;
    case CL_Menu_File_Print_All:
      if (execute && d) d->printAllSheets();
      break;
    case CL_Menu_File_Recent: {
      const QString entry = d ? d->recentFileText(r.index) : QString();
      QString caption = QString("&%1 %2").arg(r.index + 1).arg(QString(entry).replace("&", "&&"));
      req.resultText = caption.toLocal8Bit();
      state.captionSet = true;
      state.disabled = entry.isEmpty();
      state.hidden = entry.isEmpty();
      if (execute && !entry.isEmpty()) d->openRecentFile(r.index);
      break;
    }
    case CL_Menu_File_Exit:
      if (execute && d) d->exitApplication();
      break;
    case CL_Menu_Edit_Top:
      if (v && v->editMenuItemCount() == 0) v->fillEditMenu("GI_PMenu_NoItem");
      break;
    case CL_Menu_View_FontSize:
      state.checked = v && v->fontScalePercent() == r.index;
      if (execute && v) v->setFontScalePercent(r.index);
      break;
    case CL_Menu_View_ToolBar:
      state.checked = v && v->toolbarVisible();
      if (execute && v) v->toggleToolbar();
      break;
    case CL_Menu_Port_Usb:
      if (execute && c) c->comPortDialog();
      break;
    case CL_Menu_Com_Speed:
      state.checked = c && c->comSpeed() == r.index;
      if (execute && c) c->setComSpeed(r.index);
      break;
    case CL_Menu_Clone_Read:
      if (execute && c) c->cloneRead();
      break;
    case CL_Menu_Clone_Write:
      if (execute && c) c->cloneWrite();
      break;
    case CL_Menu_Clone_Info:
      if (execute && c) c->cloneInformation();
      break;
    case CL_Menu_Clone_Adj:
      state.disabled = state.hidden = !c || !c->adjustmentAvailable();
      break;
    case CL_Help_About:
      if (execute && h) h->about();
      break;
    case CL_Help_Contents:
      if (execute && h) h->helpContents();
      break;
    case CallSheet:
      if (execute && v) v->openSheet(r.cell.argument.value_or(QByteArray()));
      break;
    case CL_PMenu_NoItem:
      state.disabled = true;
      state.hidden = !(v && v->editMenuItemCount() == 1);
      break;
    default:
      // Copy .. Insert: enabled by the row and the clipboard.
      if (r.link >= CL_PMenu_Copy && r.link <= CL_PMenu_Insert) {
        state.disabled =
            !r.loaded || rowEditDisabled(r.link, r.kind, r.index, doc.clipboard(), doc.working());
      }
      break;
  }
  return kDispatchDone;
}

int FieldCatalogue::Impl::summaryCheck(Request& r) {
  cmcCellCapsule& req = r.req;
  if (r.link >= CL_Check_Common) {
    // The emergency channel of the main, F-1 or F-2 block.
    Request block = r;
    block.block = r.link - CL_Check_Common;
    block.settingsAddress = kSettingsBlocks[block.block];
    if (emergencyCaution(setting(block, settings::kEmergencyChannel), emergencyContext(block))) {
      req.marks |= kMarkCaution;
    }
    return kDispatchDone;
  }
  int kind = kKindNone;
  const numbering::IndexRange range = numbering::checkRange(r.link, &kind);
  ChannelView view(doc.working(), doc.options());
  for (int i = range.first; i <= range.last; ++i) {
    if (!view.load(kind, i) || !view.inUse) continue;
    if (kind == kKindFunction && r.usa && functionDisplayMode(i) == kDisplayWX) continue;
    if (channelCaution(doc.bands(), doc.options(), view)) req.marks |= kMarkCaution;
    if (channelOutOfRange(view)) req.marks |= kMarkRange;
  }
  return kDispatchDone;
}

int FieldCatalogue::Impl::listItem(Request& r) {
  cmcCellCapsule& req = r.req;
  const QByteArray own = r.cell.text.value_or(QByteArray());
  switch (r.link) {
    case FlexMarking_Mode:
      req.resultText = own;
      if (r.index == kModeFmNarrow && !doc.options().fmNarrowAllowed()) {
        req.marks |= kMarkCaution;
        req.markPosition = kMarkAfterText;
      }
      break;
    case FlexVMCCh:
      if (req.paint.active || req.forPainting()) {
        req.resultText = numbering::emergencyLabel(r.index);
        if (emergencyCaution(r.index, emergencyContext(r))) req.marks |= kMarkCaution;
      } else {
        req.resultText = own;
      }
      break;
    default:
      req.resultText = own;
      break;
  }
  return kDispatchDone;
}
