#pragma once

// The line tables written by the build-time generator (generator/embed_text.cpp). Private to
// kestrin_resources; everyone else goes through embedded_text.h.
extern const char* const kMainTextLines[];
extern const int kMainTextLineCount;
extern const char* const kHelpTopicMapLines[];
extern const int kHelpTopicMapLineCount;
