#include "session/Workspace.h"

#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"
#include "resources/factory/factory_images.h"

namespace {

cmcGTex* embeddedMainText(std::unique_ptr<cmcGTex>& owner) {
  owner = std::make_unique<cmcGTex>();
  const EmbeddedText main = mainResourceText();
  owner->setSource(main.lines, main.count);
  return owner.get();
}

}  // namespace

Workspace::Workspace(const WorkspaceSetup& setup)
    : prompter_(*setup.prompter),
      text_(setup.text ? setup.text : embeddedMainText(ownText_)),
      parser_(*text_),
      lists_(*text_),
      document_(factoryImage, text_),
      environment_(document_.options(), &document_.working()),
      files_(document_, *setup.prompter, *text_, setup.settings, setup.bus) {
  CatalogueServices services;
  services.document = &document_;
  services.text = text_;
  services.lists = &lists_;
  services.prompter = setup.prompter;
  services.bus = setup.bus;
  services.app = setup.app;
  catalogue_ = std::make_unique<FieldCatalogue>(services);
  cellTexts_ = std::make_unique<CatalogueCellTexts>(*catalogue_);
}

Workspace::~Workspace() = default;
