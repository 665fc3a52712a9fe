#include "files/messages.h"

#include "base/prompter.h"
#include "base/textcodec.h"
#include "gtex/cmcGTex.h"

namespace {
constexpr char kAppTitle[] = "GI_Sys_AppTitle";
constexpr char kHeadline[] = "GI_Mess_FileErr_Headline";
}  // namespace

QString messageText(cmcGTex& text, const char* key) { return fromCp932(text.getSectionText(key)); }

void showWarning(Prompter& prompter, cmcGTex& text, const char* key) {
  prompter.inform(fromCp932(text.getValue(kAppTitle)), messageText(text, key), PromptIcon::Warning);
}

void showFileErrorBox(Prompter& prompter, cmcGTex& text, const char* key) {
  prompter.inform(fromCp932(text.getValue(kAppTitle)),
                  messageText(text, kHeadline) + "\n\n" + messageText(text, key),
                  PromptIcon::Warning);
}

const char* fileErrorKey(int code) {
  static const char* const keys[] = {
      nullptr,
      "GI_Mess_FileErr_FileOpen",
      "GI_Mess_FileErr_FileAccess",
      "GI_Mess_FileErr_Model",
      "GI_Mess_FileErr_Extra",
      "GI_Mess_FileErr_MapRev",
      "GI_Mess_FileErr_Format",
      "GI_Mess_FileErr_Coverage",
      "GI_Mess_FileErr_Data",
      "GI_Mess_FileErr_Newer",
      "GI_Mess_FileErr_EtcData",
  };
  return code >= 0 && code <= 10 ? keys[code] : nullptr;
}
