// The comparison behind kestrin-cli diff, as the window's compare dialog will use it: every
// difference must lead back to its cell, on whichever side's page has it.

#include <gtest/gtest.h>

#include <memory>

#include "base/prompter.h"
#include "base/textcodec.h"
#include "gtex/celllinks.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "model/catalogue.h"
#include "model/document.h"
#include "resources/embedded_text.h"
#include "resources/factory/factory_images.h"
#include "sheet/core/DocumentCompare.h"
#include "sheet/core/SheetEnvironment.h"
#include "sheet/core/SheetModel.h"

namespace {

// One document on the factory image of a destination, with its catalogue.
struct Side {
  explicit Side(int destination, cmcGTex& text) : document(factoryImage, &text) {
    document.setDestination(destination);
    document.newDocument();
    CatalogueServices services;
    services.document = &document;
    services.text = &text;
    services.prompter = &prompter;
    catalogue = std::make_unique<FieldCatalogue>(services);
    environment =
        std::make_unique<DocumentSheetEnvironment>(document.options(), &document.working());
  }
  CompareSide compare() { return {catalogue.get(), environment.get()}; }

  ScriptedPrompter prompter;
  Document document;
  std::unique_ptr<FieldCatalogue> catalogue;
  std::unique_ptr<DocumentSheetEnvironment> environment;
};

class DocumentCompareTest : public ::testing::Test {
 protected:
  DocumentCompareTest() : parser(text) {
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
  }
  std::unique_ptr<SheetModel> page(const QByteArray& call, Side& side) {
    SheetServices services;
    services.text = &text;
    services.parser = &parser;
    services.environment = side.environment.get();
    auto sheet = SheetModel::create(call, services);
    sheet->build();
    return sheet;
  }
  cmcGTex text;
  cmcCellParser parser;
};

TEST_F(DocumentCompareTest, TheTreePagesWithFieldsAreCompared) {
  const std::vector<QByteArray> pages = treePages(text, parser);
  ASSERT_FALSE(pages.empty());
  EXPECT_EQ(pages.front(), "GI_Sheet_TopPage");
  EXPECT_EQ(std::count(pages.begin(), pages.end(), "GI_Sheet_TreeTop"), 1);  // no repeats
  for (const char* call : {"[St_ColCut]GI_Sheet_MemoryCH,1,100", "[St_ColCut]GI_Sheet_MarineCH,4",
                           "[St_Common]GI_Sheet_Common,11"}) {
    EXPECT_NE(std::find(pages.begin(), pages.end(), call), pages.end()) << call;
  }
}

// USA_A (0) has the weather alert rows that AUS (2) does not. Each difference, in either
// direction, names a cell that holds its field and that the grid can select.
TEST_F(DocumentCompareTest, EveryDifferenceLeadsBackToItsCell) {
  for (const auto& [codeA, codeB] : {std::pair{0, 2}, std::pair{2, 0}}) {
    Side a(codeA, text);
    Side b(codeB, text);
    const auto differences =
        compareDocuments(a.compare(), b.compare(), treePages(text, parser), text, parser);
    ASSERT_FALSE(differences.empty());
    int onlyOneSide = 0;
    for (const FieldDifference& d : differences) {
      ASSERT_TRUE(d.inA || d.inB);
      onlyOneSide += d.inA != d.inB;
      auto sheet = page(d.callString, d.inA ? a : b);
      ASSERT_TRUE(sheet->isSelectable(d.column, d.row)) << d.rowLabel.toStdString();
      EXPECT_EQ(sheet->cellAt(d.column, d.row).link, d.link);
      EXPECT_EQ(sheet->cellAt(d.column, d.row).index, d.index);
      EXPECT_EQ(sheet->findSelectableCell(d.link, d.index), (SheetPos{d.column, d.row}));
    }
    EXPECT_GT(onlyOneSide, 0);

    const FieldDifference& first = differences.front();
    EXPECT_EQ(first.callString, "[St_ColCut]GI_Sheet_MemoryCH,0,0");
    EXPECT_EQ(first.sheetTitle, "Memory CH");
    EXPECT_EQ(first.rowLabel, "0");
    EXPECT_EQ(first.columnHeader, "Operating Freq");
    EXPECT_EQ(first.link, CL_Mch_Freq);
    EXPECT_EQ(first.index, 0);
    EXPECT_EQ(codeA == 0 ? first.textA : first.textB, "146.010000");
  }
}

}  // namespace
