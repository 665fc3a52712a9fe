#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gtex/cmcGTex.h"
#include "gtex/cmcHash.h"
#include "gtex/selectionlist.h"
#include "test_util.h"

namespace {

// A small text in the shape of the main text: entry 0 empty, sections closed by "#".
const char* const kText[] = {
    "",
    "#GI_Sys_AppTitle",
    "Kestrin",
    "#",
    "#GI_Version_Default",
    "1.00",
    "2022",
    "#GI_List",
    "first",
    "",
    "third",
    "#",
    "#GI_Dup",
    "one",
    "#",
    "#GI_Sheet_MemoryCH_Cells",
    "a|b",
    "#GI_Dup",
    "two",
    "#GI_Last",
    "last",
    "#End_Of_Ovl",
    "#GI_AfterEnd",
    "hidden",
};
constexpr int kTextCount = sizeof(kText) / sizeof(kText[0]);

struct Reader : cmcGTex {
  Reader() { setSource(kText, kTextCount); }
};

}  // namespace

TEST(GTex, IndexesHeadersLazilyUpToTheNameAskedFor) {
  Reader g;
  EXPECT_EQ(g.sectionCount(), 0);
  EXPECT_EQ(g.getLine("GI_Sheet_MemoryCH_Cells", 0), "a|b");
  EXPECT_EQ(g.scanPosition(), 16);  // just past its header, nothing further
  EXPECT_EQ(g.sectionCount(), 5);
  EXPECT_EQ(g.getValue("GI_Sys_AppTitle"), "Kestrin");
  EXPECT_EQ(g.scanPosition(), 16);  // an indexed name scans nothing
  EXPECT_EQ(g.getLine("GI_Version_Default", 1), "2022");
}

TEST(GTex, ReadsLinesInAnyOrder) {
  Reader g;
  // Out of order (restart from the section start), in order (from the cursor), past the
  // content (the closing line), and the value of a single-line section.
  const struct {
    const char* section;
    int line;
    const char* text;
  } reads[] = {
      {"GI_List", 2, "third"},
      {"GI_List", 0, "first"},
      {"GI_List", 1, ""},
      {"GI_List", 2, "third"},
      {"GI_List", 3, "#"},
      {"GI_List", 5, "one"},
      {"GI_List", 1, ""},
      {"GI_Version_Default", 2, "#GI_List"},
      {"GI_Last", 1, "#End_Of_Ovl"},
  };
  for (const auto& r : reads)
    EXPECT_EQ(g.getLine(r.section, r.line), r.text) << r.section << " " << r.line;
}

TEST(GTex, SectionTextStopsAtTheClosingLineAndKeepsBlankLines) {
  Reader g;
  EXPECT_EQ(g.getSectionText("GI_List"), "first\n\nthird");
  EXPECT_EQ(g.getSectionText("GI_Version_Default"), "1.00\n2022");
  EXPECT_EQ(g.getSectionText("GI_Dup"), "one");  // the first of two headers wins
  EXPECT_EQ(g.getLine("GI_Dup", 0), "one");
}

TEST(GTex, EndOfTextStopsTheScanAndLoneHashIsNoSection) {
  Reader g;
  EXPECT_TRUE(g.hasSection("GI_Last"));
  EXPECT_FALSE(g.hasSection("GI_AfterEnd"));
  EXPECT_FALSE(g.hasSection(""));
  EXPECT_EQ(g.scanPosition(), 22);  // stopped at End_Of_Ovl, not at the end of the table
  EXPECT_EQ(g.sectionCount(), 8);   // the "#" lines made no sections

  // Asking for the end marker itself must not let a later search run past it.
  Reader h;
  EXPECT_TRUE(h.hasSection("End_Of_Ovl"));
  EXPECT_FALSE(h.hasSection("GI_AfterEnd"));
}

TEST(GTex, TextWithoutEndMarkerEndsAtTheTable) {
  const char* const text[] = {"", "#A", "x", "#B"};
  cmcGTex g;
  EXPECT_FALSE(g.hasSection("A"));  // no source yet
  ASSERT_TRUE(g.setSource(text, 4));
  EXPECT_FALSE(g.setSource(text, 4));
  EXPECT_TRUE(g.hasSection("B"));
  EXPECT_FALSE(g.hasSection("C"));
  EXPECT_EQ(g.getSectionText("B"), "");
  EXPECT_EQ(g.getSectionText("A"), "x");
}

TEST(GTex, ResetForgetsSourceAndIndex) {
  Reader g;
  EXPECT_EQ(g.getLine("GI_List", 2), "third");
  g.reset();
  EXPECT_FALSE(g.hasSource());
  EXPECT_EQ(g.sectionCount(), 0);
  const char* const other[] = {"", "#GI_List", "other"};
  ASSERT_TRUE(g.setSource(other, 3));
  EXPECT_EQ(g.getLine("GI_List", 0), "other");
}

TEST(GTex, NamesFoundDeepInTheIndexMoveToTheFront) {
  std::vector<QByteArray> store{""};
  for (int i = 0; i < 14; ++i) {
    store.push_back("#S" + QByteArray::number(i));
    store.push_back("v" + QByteArray::number(i));
  }
  std::vector<const char*> lines;
  for (const auto& s : store) lines.push_back(s.constData());
  cmcGTex g;
  g.setSource(lines.data(), static_cast<int>(lines.size()));
  EXPECT_EQ(g.getValue("S13"), "v13");
  EXPECT_EQ(g.indexPositionOf("S10"), 10);
  EXPECT_EQ(g.getValue("S10"), "v10");  // position 10: stays
  EXPECT_EQ(g.indexPositionOf("S10"), 10);
  EXPECT_EQ(g.getValue("S11"), "v11");  // position 11: moves to the head
  EXPECT_EQ(g.indexPositionOf("S11"), 0);
  EXPECT_EQ(g.indexPositionOf("S0"), 1);
  EXPECT_EQ(g.getValue("S13"), "v13");  // the former tail moves too; the index stays whole
  EXPECT_EQ(g.indexPositionOf("S13"), 0);
  EXPECT_EQ(g.indexPositionOf("S12"), 13);
  for (int i = 0; i < 14; ++i)
    EXPECT_EQ(g.getValue(("S" + QByteArray::number(i)).constData()), "v" + QByteArray::number(i));
  EXPECT_EQ(g.sectionCount(), 14);
}

TEST(GTex, LinesAreCutAt8191BytesAndAtALineFeed) {
  const std::string longLine(9000, 'x');
  const std::string exact(8191, 'y');
  const char* const text[] = {"", "#L", longLine.c_str(), exact.c_str(), "ab\ncd", "\x83\x5C|"};
  cmcGTex g;
  g.setSource(text, 6);
  EXPECT_EQ(g.getLine("L", 0).size(), 8191);
  EXPECT_EQ(g.getLine("L", 1).size(), 8191);
  EXPECT_EQ(g.getLine("L", 2), "ab");
  EXPECT_EQ(g.getLine("L", 3), "\x83\x5C|");  // double-byte text passes through untouched
}

TEST(GTexDeathTest, MissingSectionsAndLinesAreFatal) {
  Reader g;
  EXPECT_DEATH(g.getValue("GI_Nowhere"), "GTEX Error !\nThe index 'GI_Nowhere' was not found\\.");
  EXPECT_DEATH(g.getValue("GI_AfterEnd"), "The index 'GI_AfterEnd' was not found");
  EXPECT_DEATH(g.getLine("GI_Last", 4), "The index 'GI_Last' was not found");  // past the table
  EXPECT_DEATH(g.getLine("GI_Last", -1), "The index 'GI_Last' was not found");
  EXPECT_DEATH(g.getSectionText("GI_Nowhere"), "The index 'GI_Nowhere' was not found");
}

TEST(Hash, BucketFunction) {
  const struct {
    const char* name;
    uint32_t size;
    uint32_t bucket;
  } cases[] = {
      {"abc", 1031, 937},  // step 515 -> 257 before 'c'; h = 4030
      {"", 1031, 0},
      {"\x83", 1031, 390},  // bytes count as signed: 515 - 125
      {"a", 101, (50 + 97) % 101},
      // Step keeps halving on odd bytes and wraps back to size/2 when it reaches zero:
      // size 5, step 2 -> 1 -> 0 => 2.
      {"aaa", 5, ((2 * ((2 * (2 + 97)) + 1 + 97)) + 2 + 97) % 5},
  };
  for (const auto& c : cases) EXPECT_EQ(gtexHashBucket(c.name, c.size), c.bucket) << c.name;
}

TEST(Hash, AddAndFind) {
  cmcHash h;
  EXPECT_EQ(h.bucketCount(), 1031);
  h.add("abc", 7);
  h.add("CL_Mch_Freq", 108);
  ASSERT_NE(h.find("abc"), nullptr);
  EXPECT_EQ(h.find("abc")->value, 7);
  EXPECT_EQ(h.chain(937), h.find("abc"));
  EXPECT_EQ(h.find("ab"), nullptr);
  EXPECT_EQ(h.find("abcd"), nullptr);
  EXPECT_EQ(h.find("CL_Mch_Freq")->value, 108);

  // Names sharing a bucket chain newest first and are still told apart.
  cmcHash one(1);
  one.add("x", 1);
  one.add("y", 2);
  EXPECT_EQ(one.chain(0)->name, "y");
  EXPECT_EQ(one.find("x")->value, 1);
  EXPECT_EQ(one.size(), 2);
}

TEST(HashDeathTest, AddingANameTwiceIsFatal) {
  cmcHash h(101);
  h.add("clRed", 0xFF);
  EXPECT_DEATH(h.add("clRed", 1), "Overlapped Hash table\\.");
  cmcHash2 h2;
  h2.add("GI_Sheet_Sel_Misc_OnOff#1", nullptr);
  EXPECT_DEATH(h2.add("GI_Sheet_Sel_Misc_OnOff#1", nullptr), "Overlapped Hash2 table\\.");
}
