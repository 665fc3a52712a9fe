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
  AppCommands* a = app;
  const bool visible = a && a->mainWindowVisible();

  switch (r.link) {
    case CL_Menu_File_New:
      if (execute && visible) a->newDocument();
      break;
    case CL_Menu_File_Open:
      if (execute && visible) a->openDocument();
      break;
    case CL_Menu_File_Save:
      if (execute && visible) {
        if (doc.isUntitled()) {
          a->saveDocumentAs();
        } else {
          a->saveDocument();
        }
      }
      break;
    case CL_Menu_File_SaveAs:
      if (execute && a) a->saveDocumentAs();
      break;
    case CL_Menu_File_Import:
      state.disabled = !a || !a->importAvailable();
      if (execute && !state.disabled) a->importChannels();
      break;
    case CL_Menu_File_Export:
      state.disabled = !a || !a->exportAvailable();
      if (execute && !state.disabled) a->exportChannels();
      break;
    case CL_Menu_File_Print_Current:
      state.disabled = !a || !a->canPrintCurrentSheet();
      if (execute && !state.disabled) a->printCurrentSheet();
      break;
    case CL_Menu_File_Print_All:
      if (execute && a) a->printAllSheets();
      break;
    case CL_Menu_File_Recent: {
      const QString entry = a ? a->recentFileText(r.index) : QString();
      QString caption = QString("&%1 %2").arg(r.index + 1).arg(QString(entry).replace("&", "&&"));
      req.resultText = caption.toLocal8Bit();
      state.captionSet = true;
      state.disabled = entry.isEmpty();
      state.hidden = entry.isEmpty();
      if (execute && !entry.isEmpty()) a->openRecentFile(r.index);
      break;
    }
    case CL_Menu_File_Exit:
      if (execute && a) a->exitApplication();
      break;
    case CL_Menu_Edit_Top:
      if (a && a->editMenuItemCount() == 0) a->fillEditMenu("GI_PMenu_NoItem");
      break;
    case CL_Menu_View_FontSize:
      state.checked = a && a->fontScalePercent() == r.index;
      if (execute && a) a->setFontScalePercent(r.index);
      break;
    case CL_Menu_View_ToolBar:
      state.checked = a && a->toolbarVisible();
      if (execute && a) a->toggleToolbar();
      break;
    case CL_Menu_Port_Usb:
      if (execute && a) a->comPortDialog();
      break;
    case CL_Menu_Com_Speed:
      state.checked = a && a->comSpeed() == r.index;
      if (execute && a) a->setComSpeed(r.index);
      break;
    case CL_Menu_Clone_Read:
      if (execute && a) a->cloneRead();
      break;
    case CL_Menu_Clone_Write:
      if (execute && a) a->cloneWrite();
      break;
    case CL_Menu_Clone_Info:
      if (execute && a) a->cloneInformation();
      break;
    case CL_Menu_Clone_Adj:
      state.disabled = state.hidden = !a || !a->adjustmentAvailable();
      break;
    case CL_Help_About:
      if (execute && a) a->about();
      break;
    case CL_Help_Contents:
      if (execute && a) a->helpContents();
      break;
    case CallSheet:
      if (execute && a) a->openSheet(r.cell.argument.value_or(QByteArray()));
      break;
    case CL_PMenu_NoItem:
      state.disabled = true;
      state.hidden = !(a && a->editMenuItemCount() == 1);
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
