#include <gtest/gtest.h>

#include "gtex/cmcGTex.h"
#include "gtex/outline.h"
#include "test_util.h"

namespace {

const char* const kText[] = {
    "",
    "#GI_Menu_Body",
    "+{(%CT_Main.CL_File)}File",
    "  +{(%CT_Main.CL_Open)}Open",
    "not an item",
    "",
    "  +-",
    "    ++deeper",
    "+Edit",
    "#GI_Next",
    "+not read",
    "#End_Of_Ovl",
};

TEST(Outline, DepthIsTheColumnOfThePlusAndNonItemsAreSkipped) {
  cmcGTex text;
  ASSERT_TRUE(text.setSource(kText, int(std::size(kText))));
  const std::vector<OutlineLine> lines = readOutline(text, "GI_Menu_Body");
  const std::vector<std::pair<int, QByteArray>> expected{{0, "{(%CT_Main.CL_File)}File"},
                                                         {2, "{(%CT_Main.CL_Open)}Open"},
                                                         {2, "-"},
                                                         {4, "+deeper"},
                                                         {0, "Edit"}};
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].depth, expected[i].first) << i;
    EXPECT_EQ(lines[i].cellText, expected[i].second) << i;
  }
}

}  // namespace
