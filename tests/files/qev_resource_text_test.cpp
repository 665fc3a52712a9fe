#include <gtest/gtest.h>

#include "base/prompter.h"
#include "files/cmcQevFile.h"
#include "files/messages.h"
#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"

// The file commands' message keys exist in the program's own resource text and read as the
// users see them (a wrong key would end the program when the message is due).
TEST(FileMessagesInResourceText, EveryKeyReadsAsShown) {
  const EmbeddedText main = mainResourceText();
  cmcGTex text;
  ASSERT_TRUE(text.setSource(main.lines, main.count));
  ScriptedPrompter prompter;

  const char* codeTexts[] = {nullptr,
                             "Cannot open the file.",
                             "Cannot access the file.",
                             "Illegal data.",
                             "Illegal data.",
                             "Incompatible data.",
                             "Illegal data.",
                             "There is not enough data.",
                             "Illegal data.",
                             "Please update to the latest version.",
                             "Incompatible data."};
  for (int code = 1; code <= 10; ++code) {
    ASSERT_TRUE(text.hasSection(fileErrorKey(code))) << code;
    cmcQevFile::ShowFileError(prompter, text, code);
    EXPECT_EQ(prompter.log().back().message.text, QString("File error.\n\n") + codeTexts[code]);
    EXPECT_EQ(prompter.log().back().message.caption, "Kestrin");
  }

  const struct {
    const char* key;
    const char* shown;
  } import[] = {
      {"GI_Mess_Import_OpenErr", "File error.\n\nCannot open the file."},
      {"GI_Mess_Import_TitleErr", "File error.\n\nIllegal data."},
      {"GI_Mess_Import_NoData", "No channel data was found."},
      {"GI_Mess_Import_Discard", "Some channels are read as blank due to invalid value/setting."},
      {"GI_Mess_Import_Correct", "Some settings are changed to the valid value."},
      {"GI_Mess_Confirm_ImportFile",
       "Import from the file.\nCurrent sheet will be cleared.\nAre you sure?"},
  };
  for (const auto& m : import) {
    ASSERT_TRUE(text.hasSection(m.key)) << m.key;
    EXPECT_EQ(messageText(text, m.key), m.shown) << m.key;
  }
}
