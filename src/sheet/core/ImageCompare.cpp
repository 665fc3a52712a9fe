#include "sheet/core/ImageCompare.h"

#include <memory>

#include "base/prompter.h"
#include "model/catalogue.h"
#include "model/document.h"
#include "sheet/core/SheetEnvironment.h"

namespace {
// Showing a value never asks anything; the catalogue only needs someone to ask.
class SilentPrompter : public Prompter {
 public:
  PromptAnswer ask(const PromptMessage& message) override { return message.defaultAnswer; }
};

// One image in a document of its own, with the catalogue and sheet environment that show it.
struct Side {
  Side(const cmcEeprom& image, int destination, uint8_t optionBits, FactoryImageLookup factory,
       cmcGTex& text, Prompter& prompter)
      : document(factory, &text) {
    document.setOptionBits(optionBits);
    document.setDestination(destination);
    document.newDocument();
    document.working().assign(image);
    document.markSaved();
    catalogue = std::make_unique<FieldCatalogue>(
        CatalogueServices{&document, &text, nullptr, &prompter, nullptr, nullptr});
    environment = std::make_unique<DocumentSheetEnvironment>(document.options(), &document.working());
  }
  Document document;
  std::unique_ptr<FieldCatalogue> catalogue;
  std::unique_ptr<DocumentSheetEnvironment> environment;
};
}  // namespace

std::vector<FieldDifference> compareImages(const cmcEeprom& a, const cmcEeprom& b,
                                           int destination, uint8_t optionBits,
                                           FactoryImageLookup factory, cmcGTex& text,
                                           cmcCellParser& parser) {
  SilentPrompter silent;
  Side sideA(a, destination, optionBits, factory, text, silent);
  Side sideB(b, destination, optionBits, factory, text, silent);
  return compareDocuments({sideA.catalogue.get(), sideA.environment.get()},
                          {sideB.catalogue.get(), sideB.environment.get()},
                          treePages(text, parser), text, parser);
}
