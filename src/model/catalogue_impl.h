#pragma once

// Inside the field catalogue: shared by its source files, not part of its interface.

#include <QByteArray>
#include <memory>

#include "gtex/cmcCellObj.h"
#include "gtex/cmcFCache.h"
#include "model/ChannelView.h"
#include "model/catalogue.h"
#include "model/editors.h"
#include "model/memorymap.h"

class FieldCatalogue::Impl {
 public:
  explicit Impl(const CatalogueServices& services);

  int dispatch(cmcCellCapsule& req, bool editing);

  // One request as the handlers see it.
  struct Request {
    Request(cmcCellCapsule& request, const cmcCellObj& c)
        : req(request), cell(c), category(c.category), link(c.link), index(c.index) {}
    cmcCellCapsule& req;
    const cmcCellObj& cell;
    int category;
    int link;
    int index;
    int kind = kKindNone;
    bool loaded = false;  // the view holds (kind, index)
    ChannelView view;
    int sheetNumber = -1;
    int block = 0;  // settings and state blocks: 0 main, 1 F-1, 2 F-2
    int stateAddress = memmap::kMainState;
    int settingsAddress = memmap::kMainSettings;
    int displayMode = memmap::kDisplayVFO;  // of the selected state record
    bool usa = false;
    bool ignoreKeys = false;  // a function memory's frequency in WX mode
    int rules = 0;            // repaint rules to report
    bool changed = false;     // something in the working image changed
  };

  // --- helpers ------------------------------------------------------------------------------
  static bool keyPending(const cmcCellCapsule& req);
  static void grey(cmcCellCapsule& req);
  uint8_t setting(const Request& r, int offset) const;
  void setSetting(Request& r, int offset, int value);
  void setSettingAllBlocks(Request& r, int offset, int value);
  int functionDisplayMode(int index) const;
  bool conventionalInUse(int index) const;
  void commitView(Request& r);
  // A value from a list into a byte of the selected settings block.
  int settingList(Request& r, int offset, const char* list);
  // A list on an int field of the view; match >= 0 also takes typed text.
  int viewList(Request& r, const char* list, int& field, int match = -1, int itemLink = Flex0);

  // --- steps ---------------------------------------------------------------------------------
  bool emptyChannelRule(Request& r);
  int handleLink(Request& r);
  int popupCommandOnParent(Request& r);

  // --- handlers (one file per group) ---------------------------------------------------------
  int channelField(Request& r);  // CL_Mch_*
  int frequency(Request& r);
  int marineAttribute(Request& r);
  int displayMode(Request& r);
  int displayChannel(Request& r);
  int commonSetting(Request& r);  // CL_Common_*
  int memoryDisplay(Request& r);
  int emergencyChannel(Request& r);
  int command(Request& r);  // menus, toolbar, tree, popup-menu items
  int summaryCheck(Request& r);
  int listItem(Request& r);  // Flex0, FlexMarking_Mode, FlexVMCCh

  EmergencyContext emergencyContext(const Request& r) const;

  Document& doc;
  cmcGTex& text;
  std::unique_ptr<cmcFCache> ownLists;
  cmcFCache& lists;
  ValueEditors editors;
  Prompter& prompter;
  cmcEvMan* bus;
  AppCommands* app;
};

// Keys ignored for the length of a scope: the handler shows its value and takes no input.
class KeysIgnored {
 public:
  explicit KeysIgnored(cmcCellCapsule& req, bool active = true)
      : req_(req), key_(req.key), operation_(req.operation), active_(active) {
    if (active_) {
      req_.key = kKeyNone;
      req_.operation = kOpDisplayOrKey;
    }
  }
  ~KeysIgnored() {
    if (active_) {
      req_.key = key_;
      req_.operation = operation_;
    }
  }
  KeysIgnored(const KeysIgnored&) = delete;
  KeysIgnored& operator=(const KeysIgnored&) = delete;

 private:
  cmcCellCapsule& req_;
  int key_;
  int operation_;
  bool active_;
};

// The font colours the catalogue asks for.
constexpr uint32_t kGreyTextColour = 0xC0C0C0;
constexpr uint32_t kReferenceColour = 0x008080;
