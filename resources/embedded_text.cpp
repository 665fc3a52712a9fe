#include "resources/embedded_text.h"

#include "resources/embedded_tables.h"

EmbeddedText mainResourceText(int /*variant*/) { return {kMainTextLines, kMainTextLineCount}; }

EmbeddedText helpTopicMapText() { return {kHelpTopicMapLines, kHelpTopicMapLineCount}; }
