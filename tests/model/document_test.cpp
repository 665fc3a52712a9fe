#include "model/document.h"

#include <gtest/gtest.h>

#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/memorymap.h"
#include "resources/embedded_text.h"
#include "resources/factory/factory_images.h"

namespace {

using namespace memmap;

constexpr int kEUR_A = 4;

class DocumentTest : public ::testing::Test {
 protected:
  DocumentTest() {
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    doc.setTitleListener([this] { ++titleCalls; });
    doc.setDestination(0);
    doc.newDocument();
    titleCalls = 0;
  }

  ChannelFields channel(int index) {
    ChannelView v(doc.working(), doc.options());
    v.load(kKindConventional, index);
    return v.fields();
  }
  void setFrequency(cmcEeprom& image, int index, uint32_t hz) {
    ChannelView v(image, doc.options());
    v.load(kKindConventional, index);
    v.inUse = true;
    v.frequency = hz;
    v.commit();
  }
  // Something in the clipboard, so that emptying it shows.
  void fillClipboard() {
    doc.clipboard().capture(doc.working(), doc.options(), kKindConventional, 0, 2);
    ASSERT_TRUE(doc.clipboard().canPaste(kKindConventional));
  }

  cmcGTex text;
  Document doc{factoryImage, &text};
  int titleCalls = 0;
};

TEST_F(DocumentTest, NewDocumentIsTheFactoryImageUntitledAndSaved) {
  EXPECT_TRUE(doc.working().equals(doc.defaultImage()));
  EXPECT_TRUE(doc.savedImage().equals(doc.working()));
  EXPECT_EQ(0, std::memcmp(doc.working().data(), factoryImage(0), kCloneSize));
  EXPECT_TRUE(doc.isUntitled());
  EXPECT_FALSE(doc.isModified());
  EXPECT_EQ(doc.documentName(), "Untitled");
  EXPECT_EQ(doc.title(), "Untitled - Kestrin");
  doc.setCurrentDirectory("/data");
  EXPECT_EQ(doc.documentName(), "/data/Untitled");
  doc.setCurrentFile("/data/club.qev");
  EXPECT_EQ(doc.title(), "club.qev - Kestrin");
  EXPECT_EQ(titleCalls, 1);
}

TEST_F(DocumentTest, ModifiedFlagFollowsTheWorkingImage) {
  setFrequency(doc.working(), 7, 145500000);
  EXPECT_FALSE(doc.modifiedFlag());  // nobody looked yet
  EXPECT_TRUE(doc.isModified());     // the comparison sets it and tells the title
  EXPECT_EQ(titleCalls, 1);
  EXPECT_TRUE(doc.isModified());
  EXPECT_EQ(titleCalls, 1);

  doc.markSaved();
  EXPECT_FALSE(doc.isModified());
  EXPECT_TRUE(doc.savedImage().equals(doc.working()));

  // Undoing an edit by hand does not clear the flag: only saving, opening or New does.
  setFrequency(doc.working(), 7, 146000000);
  EXPECT_TRUE(doc.isModified());
  setFrequency(doc.working(), 7, 145500000);
  EXPECT_TRUE(doc.isModified());
}

// Undo and redo recompute the flag from the bytes, in both directions.
TEST_F(DocumentTest, RefreshedModifiedFlagClearsBackAtTheSavedBytes) {
  setFrequency(doc.working(), 7, 146000000);
  EXPECT_TRUE(doc.refreshModified());
  EXPECT_EQ(titleCalls, 1);
  EXPECT_TRUE(doc.refreshModified());
  EXPECT_EQ(titleCalls, 1);  // unchanged flag, no title call
  doc.working().assign(doc.savedImage());
  EXPECT_FALSE(doc.refreshModified());
  EXPECT_FALSE(doc.isModified());
  EXPECT_EQ(titleCalls, 2);

  // A clone read's image stays modified until saved, even on the saved bytes.
  cmcEeprom same;
  same.assign(doc.savedImage());
  doc.takeOver(same, QString(), true);
  ASSERT_TRUE(doc.working().equals(doc.savedImage()));
  EXPECT_TRUE(doc.refreshModified());
  doc.markSaved();
  EXPECT_FALSE(doc.refreshModified());
}

TEST_F(DocumentTest, DestinationChangeRebuildsTheDefaultImageAndEmptiesTheClipboard) {
  fillClipboard();
  doc.setDestination(kEUR_A);
  EXPECT_FALSE(doc.clipboard().canPaste(kKindConventional));
  EXPECT_EQ(0, std::memcmp(doc.defaultImage().data(), factoryImage(kEUR_A), kCloneSize));
  EXPECT_EQ(doc.bands().amateur().last, 146000000);
  // The working image is the owner's business.
  EXPECT_EQ(0, std::memcmp(doc.working().data(), factoryImage(0), kCloneSize));

  doc.setDestination(DestinationOptions::kNone);  // none chosen: the image of code 0
  EXPECT_EQ(0, std::memcmp(doc.defaultImage().data(), factoryImage(0), kCloneSize));
}

TEST_F(DocumentTest, ChangeDestinationOfAnUntitledUnmodifiedDocumentIsNew) {
  cmcEeprom other;
  other.assign(doc.working());
  doc.changeDestination(other, kEUR_A, /*confirmed=*/true, /*mainWindowVisible=*/true);
  EXPECT_EQ(doc.destination(), kEUR_A);
  EXPECT_EQ(0, std::memcmp(doc.working().data(), factoryImage(kEUR_A), kCloneSize));
  EXPECT_FALSE(doc.isModified());
}

TEST_F(DocumentTest, ChangeDestinationConformsAnEditedImage) {
  // The main state in WX mode is something only USA destinations keep.
  doc.working().setByte(kMainState + state::kDisplayMode, kDisplayWX);
  ASSERT_TRUE(doc.isModified());
  doc.changeDestination(doc.working(), kEUR_A, true, true);
  EXPECT_NE(displayMode(doc.working().getByte(kMainState + state::kDisplayMode)), kDisplayWX);
  EXPECT_TRUE(doc.isModified());

  // Unconfirmed, the image is left alone.
  doc.working().setByte(kMainState + state::kDisplayMode, kDisplayWX);
  doc.changeDestination(doc.working(), 0, false, true);
  EXPECT_EQ(doc.destination(), 0);
  EXPECT_EQ(doc.working().getByte(kMainState + state::kDisplayMode), kDisplayWX);
}

TEST_F(DocumentTest, ChangeDestinationBeforeTheMainWindowShowsResetsTheWorkingImage) {
  setFrequency(doc.working(), 3, 145000000);
  doc.changeDestination(doc.working(), kEUR_A, false, /*mainWindowVisible=*/false);
  EXPECT_EQ(0, std::memcmp(doc.working().data(), factoryImage(kEUR_A), kCloneSize));
  EXPECT_FALSE(doc.isModified());
}

TEST_F(DocumentTest, TakeOverConformsAndSetsNameAndFlag) {
  doc.setDestination(kEUR_A);
  cmcEeprom loaded;
  loaded.assign(doc.defaultImage());
  loaded.setByte(kF1State + state::kDisplayMode, kDisplayWX);
  doc.takeOver(loaded, "/tmp/a.qev", false);
  EXPECT_NE(displayMode(doc.working().getByte(kF1State + state::kDisplayMode)), kDisplayWX);
  EXPECT_EQ(doc.currentFile(), "/tmp/a.qev");
  EXPECT_FALSE(doc.isModified());

  // A clone read: untitled and modified.
  setFrequency(loaded, 9, 146000000);
  doc.takeOver(loaded, QString(), true);
  EXPECT_TRUE(doc.isUntitled());
  EXPECT_TRUE(doc.modifiedFlag());
  EXPECT_EQ(channel(9).frequency, 146000000u);

  doc.newDocument();
  EXPECT_FALSE(doc.isModified());
  EXPECT_TRUE(doc.isUntitled());
}

// The undo history ends where the document is replaced: New, a take-over, a switch of destination
// (asked for or confirmed) and the factory image put back. An edit or a conform keeps it.
TEST_F(DocumentTest, TellsWhenItsImageBecomesAnotherDocuments) {
  int replaced = 0;
  doc.setReplacedListener([&] { ++replaced; });
  const struct {
    const char* what;
    std::function<void()> act;
    bool replaces;
  } cases[] = {
      {"edit", [&] { setFrequency(doc.working(), 3, 145500000); doc.setModified(); }, false},
      {"conform", [&] { doc.conform(doc.working()); }, false},
      {"new", [&] { doc.newDocument(); }, true},
      {"take over", [&] { doc.takeOver(doc.working(), QString(), true); }, true},
      {"factory image back", [&] { doc.resetToDefault(); }, true},
      {"destination asked for", [&] { doc.changeDestination(doc.working(), kEUR_A, false, true); }, true},
      {"destination confirmed", [&] { doc.changeDestination(doc.working(), 0, true, true); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    replaced = 0;
    c.act();
    EXPECT_EQ(replaced > 0, c.replaces);
  }
}

}  // namespace
