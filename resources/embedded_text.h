#pragma once

// The resource texts compiled into the program. Each is a table of code page 932 lines whose
// entry 0 is an empty line; the tables live for the whole run.
struct EmbeddedText {
  const char* const* lines;
  int count;
};

// The main resource text for display-language variant 0, 1 or 2. This build carries one English
// text, so every variant is the same table.
EmbeddedText mainResourceText(int variant = 0);

// The help-topic map: the single section GI_AppItem_CellName_to_ContextID.
EmbeddedText helpTopicMapText();
