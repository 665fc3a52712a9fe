#pragma once

#include "sheet/core/SheetModel.h"

class DocumentUndo;
class Document;
class FieldCatalogue;
class Prompter;
class QSettings;

// Everything a sheet on screen works with. The application object owns all of it and keeps it
// alive longer than any sheet; a test builds its own.
struct SheetUiServices {
  // text, parser, environment, measure (the screen's QFontMetrics), texts (the catalogue's
  // answer), widths (the column-width store) and the event bus.
  SheetServices sheet;
  FieldCatalogue* catalogue = nullptr;  // required: every key, edit and display text
  Document* document = nullptr;         // required
  Prompter* prompter = nullptr;         // required
  DocumentUndo* undo = nullptr;         // each change of the working image becomes one step
  int fontScalePercent = 100;           // the display font scale, 60..150
};
