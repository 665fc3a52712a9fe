#include "model/numbering.h"

#include <gtest/gtest.h>

#include "gtex/celllinks.h"
#include "model/ChannelView.h"

namespace {

using namespace numbering;

TEST(Numbering, RoleTestsSplitTheConventionalSpaceAndRejectOtherKinds) {
  struct Case {
    int kind, index;
    bool memory, edge, call, marine;
  };
  const Case cases[] = {
      {kKindConventional, 0, true, false, false, false},
      {kKindConventional, 199, true, false, false, false},
      {kKindConventional, 200, false, true, false, false},
      {kKindConventional, 205, false, true, false, false},
      {kKindConventional, 206, false, false, true, false},
      {kKindConventional, 207, false, false, false, true},
      {kKindConventional, 306, false, false, false, true},
      {kKindConventional, 307, false, false, false, false},
      {kKindConventional, -1, false, false, false, false},
      {kKindFunction, 0, false, false, false, false},
      {kKindFunction, 206, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.kind << "/" << c.index);
    EXPECT_EQ(isMemory(c.kind, c.index), c.memory);
    EXPECT_EQ(isScanEdge(c.kind, c.index), c.edge);
    EXPECT_EQ(isCall(c.kind, c.index), c.call);
    EXPECT_EQ(isMarine(c.kind, c.index), c.marine);
  }
  EXPECT_EQ(marineIndex(0), 207);
  EXPECT_EQ(marineNumber(306), 99);
  EXPECT_EQ(scanEdgeIndex(1, false), 200);
  EXPECT_EQ(scanEdgeIndex(3, true), 205);
}

TEST(Numbering, RowEditRangesKeepBlocksApart) {
  struct Case {
    int kind, index;
    IndexRange range;
  };
  const Case cases[] = {
      {kKindConventional, 0, {0, 99}},      {kKindConventional, 99, {0, 99}},
      {kKindConventional, 100, {100, 199}}, {kKindConventional, 203, {200, 205}},
      {kKindConventional, 206, {206, 206}},  // a single row: nothing to carry
      {kKindConventional, 250, {206, 206}}, {kKindFunction, 1, {0, 1}},
      {kKindWeather, 0, {0, -1}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rowEditRange(c.kind, c.index), c.range) << c.kind << "/" << c.index;
  }
  EXPECT_TRUE(supportsRowEdits(kKindConventional));
  EXPECT_TRUE(supportsRowEdits(kKindFunction));
  EXPECT_FALSE(supportsRowEdits(kKindNone));
  EXPECT_FALSE(supportsRowEdits(kKindWeather));
  EXPECT_EQ(kindRange(kKindNone), (IndexRange{0, 0}));
  EXPECT_EQ(kindRange(kKindConventional), (IndexRange{0, 306}));
  EXPECT_EQ(kindRange(kKindFunction), (IndexRange{0, 100000000}));
}

TEST(Numbering, SummaryChecksCoverTheirRanges) {
  struct Case {
    int link, kind;
    IndexRange range;
  };
  const Case cases[] = {{CL_Check_MemoryCH0, kKindConventional, {0, 99}},
                        {CL_Check_MemoryCH1, kKindConventional, {100, 199}},
                        {CL_Check_MemoryCHS, kKindConventional, {200, 205}},
                        {CL_Check_MemoryCHC, kKindConventional, {206, 206}},
                        {CL_Check_F1DispCH, kKindFunction, {0, 0}},
                        {CL_Check_F2DispCH, kKindFunction, {1, 1}},
                        {CL_Check_Common, kKindNone, {0, -1}}};
  for (const Case& c : cases) {
    int kind = -1;
    EXPECT_EQ(checkRange(c.link, &kind), c.range) << c.link;
    EXPECT_EQ(kind, c.kind) << c.link;
  }
}

TEST(Numbering, Labels) {
  struct Case {
    QByteArray got, want;
  };
  const Case cases[] = {
      {labelZeroBased(0), "0"},
      {labelOneBased(99), "100"},
      {bankLetter(9), "J"},
      {scanEdgeLabel(0), "1A"},
      {scanEdgeLabel(3), "2B"},
      {scanEdgeLabel(5), "3B"},
      {dtmfLabel(0), "d0"},
      {dtmfLabel(15), "dF"},
      {emergencyLabel(0), "VFO"},
      {emergencyLabel(1), "0"},
      {emergencyLabel(200), "199"},
      {emergencyLabel(201), "1A"},
      {emergencyLabel(206), "3B"},
      {emergencyLabel(207), "CALL"},
      {emergencyLabel(208), ""},
      {displayChannelLabel(7), "7"},
      {displayChannelLabel(199), "199"},
      {displayChannelLabel(200), " 0A"},
      {displayChannelLabel(203), " 1B"},
      {displayChannelLabel(206), " 3A"},
      {weatherChannelLabel(0), "1"},
      {marineLabel(" M-22A"), " M-22A"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Numbering, EmergencyValuesAreIndexPlusOneBetweenVfoAndCall) {
  EXPECT_EQ(emergencyValueOf(0), 1);
  EXPECT_EQ(emergencyValueOf(200), 201);  // scan edge 1A
  EXPECT_EQ(emergencyChannelOf(1), 0);
  EXPECT_EQ(emergencyChannelOf(206), 205);
  EXPECT_EQ(emergencyChannelOf(kEmergencyVFO), -1);
  EXPECT_EQ(emergencyChannelOf(kEmergencyCall), -1);
}

}  // namespace
