#include "model/typednote.h"

#include <gtest/gtest.h>

#include "gtex/celllinks.h"

// Each row: the cell's link, what was typed, what the cell shows after storing, the note.
TEST(TypedValueNote, SaysWhatWasTypedStoredAndWhy) {
  struct Case {
    int link;
    const char* typed;
    const char* shown;
    const char* note;
  };
  const Case cases[] = {
      {CL_Mch_Freq, "50", "136.000000",
       "Typed \"50\", stored \"136.000000\": below the lowest frequency the radio takes."},
      {CL_Mch_Freq, "999", "174.000000",
       "Typed \"999\", stored \"174.000000\": above the highest frequency the radio takes."},
      {CL_Mch_Freq, "145.5125", "145.510000",
       "Typed \"145.5125\", stored \"145.510000\": moved to the nearest channel step."},
      {CL_Mch_Freq, "145,5", "145.500000", ""},  // the same value in another decimal mark
      {CL_Mch_Freq, " 150 ", "150.000000", ""},  // stored as typed: its mark explains the rest
      {CL_Mch_Name, "LONGNAME12345", "LONGNA",
       "Typed \"LONGNAME12345\", stored \"LONGNA\": a name holds 6 characters."},
      {CL_Mch_Name, "Zoë", "ZO",
       "Typed \"Zoë\", stored \"ZO\": letters the radio cannot show were changed or left out."},
      {CL_Bank_Name, "club", "CLUB",
       "Typed \"club\", stored \"CLUB\": the radio shows capital letters only."},
      {CL_Mch_Name, "HOME", "HOME", ""},
      {CL_Mch_Name, "", "", ""},
      {CL_Mch_Mode, "x", "FM", ""},  // lists say nothing: the typed letter only chooses
  };
  for (const Case& c : cases) {
    EXPECT_EQ(typedValueNote(c.link, QString::fromUtf8(c.typed), QString::fromUtf8(c.shown)),
              QString::fromUtf8(c.note))
        << c.typed;
  }
}
