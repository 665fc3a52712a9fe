#pragma once

// The working set the tests build on: the program's own resource text, a document on the
// factory image of the first destination with every radio option, the field catalogue and the
// sheets' view of it, put together by the same Workspace as the program's; questions go to a
// scripted prompter. A test target that uses it links kestrin_session.

#include "base/cmcEvMan.h"
#include "base/prompter.h"
#include "gtex/cellmarkup.h"
#include "model/catalogue.h"
#include "model/document.h"
#include "session/Workspace.h"
#include "sheet/core/SheetEnvironment.h"

struct TestWorkspace {
  // Whether the catalogue sends its events on `bus` (as on screen) or on none.
  enum class CatalogueBus { kNone, kOwn };

  explicit TestWorkspace(CatalogueBus catalogueBus = CatalogueBus::kNone)
      : workspace(WorkspaceSetup{&prompter, nullptr, nullptr, nullptr,
                                 catalogueBus == CatalogueBus::kOwn ? &bus : nullptr}) {
    doc.setDestination(0);
    doc.setOptionBits(0x0F);
    doc.newDocument();
  }

  ScriptedPrompter prompter;
  cmcEvMan bus;
  Workspace workspace;
  cmcGTex& text = workspace.text();
  cmcCellParser& parser = workspace.parser();
  Document& doc = workspace.document();
  FieldCatalogue* catalogue = &workspace.catalogue();
  DocumentSheetEnvironment* env = &workspace.environment();
};
