#pragma once

#include <memory>

#include "files/filecommands.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcFCache.h"
#include "model/catalogue.h"
#include "model/document.h"
#include "sheet/core/CatalogueCellTexts.h"
#include "sheet/core/SheetEnvironment.h"
#include "sheet/core/SheetModel.h"

class AppCommands;
class cmcEvMan;
class cmcGTex;
class indEnviron;
class Prompter;

// What a workspace is built over. Only the prompter is required.
struct WorkspaceSetup {
  Prompter* prompter = nullptr;
  cmcGTex* text = nullptr;         // the main resource text; null: the embedded one, owned here
  AppCommands* app = nullptr;      // the commands cells may call; null: none
  indEnviron* settings = nullptr;  // null leaves the program's settings alone
  cmcEvMan* bus = nullptr;
};

// The program's working set, put together in one place for every front end (the window, the
// command-line tool, printing to PDF, a second document to compare with, the tests): the resource
// text, the cell parser, the document, the field catalogue, the sheets' view of the document and
// the file commands over it.
class Workspace {
 public:
  explicit Workspace(const WorkspaceSetup& setup);
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  cmcGTex& text() { return *text_; }
  Prompter& prompter() { return prompter_; }
  cmcCellParser& parser() { return parser_; }
  cmcFCache& lists() { return lists_; }
  Document& document() { return document_; }
  const Document& document() const { return document_; }
  FieldCatalogue& catalogue() { return *catalogue_; }
  DocumentSheetEnvironment& environment() { return environment_; }
  FileCommands& files() { return files_; }
  SheetTextProvider& cellTexts() { return *cellTexts_; }

 private:
  Prompter& prompter_;
  std::unique_ptr<cmcGTex> ownText_;
  cmcGTex* text_;
  cmcCellParser parser_;
  cmcFCache lists_;
  Document document_;
  DocumentSheetEnvironment environment_;
  FileCommands files_;
  std::unique_ptr<FieldCatalogue> catalogue_;
  std::unique_ptr<CatalogueCellTexts> cellTexts_;
};
