#pragma once

// A document on the factory image of a destination, the program's own resource text and a
// catalogue over them, with helpers that send requests as the grid, the menus and the tree do.

#include <gtest/gtest.h>

#include <QStringList>
#include <vector>

#include "base/cmcEvMan.h"
#include "base/prompter.h"
#include "gtex/celllinks.h"
#include "gtex/cmcCellObj.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/appcommands.h"
#include "model/catalogue.h"
#include "model/cmcEeprom.h"
#include "model/document.h"
#include "model/memorymap.h"
#include "resources/embedded_text.h"
#include "resources/factory/factory_images.h"

inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
  *os << '"' << bytes.toStdString() << '"';
}

// The application as the catalogue sees it: every call is written down.
class RecordingApp : public AppCommands,
                     public DocumentRole,
                     public ViewRole,
                     public CloneRole,
                     public HelpRole {
 public:
  DocumentRole* documentRole() override { return this; }
  ViewRole* viewRole() override { return this; }
  CloneRole* cloneRole() override { return this; }
  HelpRole* helpRole() override { return this; }

  QStringList calls;
  bool visible = true;
  QString recent[4];
  int fontScale = 100;
  int speed = 1;
  int editItems = 0;

  bool mainWindowVisible() const override { return visible; }
  void newDocument() override { calls << "new"; }
  void openDocument() override { calls << "open"; }
  void saveDocument() override { calls << "save"; }
  void saveDocumentAs() override { calls << "saveAs"; }
  void openRecentFile(int n) override { calls << QString("recent %1").arg(n); }
  QString recentFileText(int n) const override { return recent[n]; }
  bool importAvailable() const override { return true; }
  void importChannels() override { calls << "import"; }
  bool exportAvailable() const override { return false; }
  void exportChannels() override { calls << "export"; }
  bool canPrintCurrentSheet() const override { return false; }
  void printCurrentSheet() override { calls << "print"; }
  void printAllSheets() override { calls << "printAll"; }
  void exitApplication() override { calls << "exit"; }
  int fontScalePercent() const override { return fontScale; }
  void setFontScalePercent(int p) override { calls << QString("font %1").arg(p); }
  bool toolbarVisible() const override { return true; }
  void toggleToolbar() override { calls << "toolbar"; }
  int editMenuItemCount() const override { return editItems; }
  void fillEditMenu(const QByteArray& stem) override { calls << "fill " + QString(stem); }
  void comPortDialog() override { calls << "port"; }
  int comSpeed() const override { return speed; }
  void setComSpeed(int s) override { calls << QString("speed %1").arg(s); }
  void cloneRead() override { calls << "cloneRead"; }
  void cloneWrite() override { calls << "cloneWrite"; }
  void cloneInformation() override { calls << "cloneInfo"; }
  bool adjustmentAvailable() const override { return false; }
  void about() override { calls << "about"; }
  void helpContents() override { calls << "help"; }
  void contextHelp(int link) override { calls << QString("contextHelp %1").arg(link); }
  void openSheet(const QByteArray& call) override { calls << "sheet " + QString(call); }
  QByteArray versionText() const override { return "1.02"; }
  QByteArray yearText() const override { return "2023"; }
  void dataChanged() override { ++changes; }
  void refreshStatus() override { ++statusRefreshes; }
  int changes = 0;
  int statusRefreshes = 0;
};

class CatalogueTest : public ::testing::Test {
 protected:
  explicit CatalogueTest(int destination = 0, uint8_t optionBits = 0x0F) {
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    doc.setDestination(destination);
    doc.setOptionBits(optionBits);
    doc.newDocument();
    CatalogueServices s;
    s.document = &doc;
    s.text = &text;
    s.prompter = &prompter;
    s.bus = &bus;
    s.app = &app;
    catalogue = std::make_unique<FieldCatalogue>(s);
  }

  static cmcCellObj cellOf(int category, int link, int index = 0) {
    cmcCellObj c;
    c.category = category;
    c.link = link;
    c.index = index;
    return c;
  }

  // One request as the grid makes it. `args` are the sheet's arguments.
  struct Asked {
    cmcCellObj cell;
    cmcCellCapsule req;
    int result = 0;
    std::vector<int> repaints;
  };
  Asked ask(int category, int link, int index, const char* args, int key = 0,
            const QByteArray* typed = nullptr, bool edit = true) {
    Asked a;
    a.cell = cellOf(category, link, index);
    a.req.cell = &a.cell;
    a.req.sheetArguments = args;
    if (edit) a.req.origin = CellOrigin::Grid;
    a.req.key = key;
    if (typed) {
      a.req.operation = kOpTextEntered;
      a.req.typedText = *typed;
    }
    auto* repaints = &a.repaints;
    a.req.repaint = [repaints](int rules) { repaints->push_back(rules); };
    a.result = catalogue->dispatch(a.req, edit);
    a.req.cell = nullptr;  // the cell moves with the struct
    return a;
  }
  // Display text of a cell as the painter asks for it.
  QByteArray shown(int category, int link, int index, const char* args = "0,0") {
    return ask(category, link, index, args, 0, nullptr, false).req.resultText;
  }
  QByteArray channelText(int link, int index) { return shown(CT_Conv, link, index); }
  Asked type(int category, int link, int index, const char* args, const QByteArray& typed) {
    return ask(category, link, index, args, 0, &typed);
  }
  Asked key(int category, int link, int index, const char* args, int k) {
    return ask(category, link, index, args, k);
  }

  ChannelView channel(int index, int kind = kKindConventional) {
    ChannelView v(doc.working(), doc.options());
    v.load(kind, index);
    return v;
  }
  void setChannel(int index, uint32_t hz, int kind = kKindConventional) {
    ChannelView v = channel(index, kind);
    v.inUse = true;
    v.frequency = hz;
    v.commit();
  }
  uint8_t settingByte(int block, int offset) {
    return doc.working().getByte(memmap::kSettingsBlocks[block] + offset);
  }

  cmcGTex text;
  Document doc{factoryImage, &text};
  ScriptedPrompter prompter;
  cmcEvMan bus;
  RecordingApp app;
  std::unique_ptr<FieldCatalogue> catalogue;
};
