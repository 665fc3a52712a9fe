// Every cell of every page in the navigation tree, through the field catalogue, as the grid asks:
// painting, typed texts, keys. No request may fail or reach a fault of the program's data, and a
// cell that took a typed text shows a text that, typed again, leaves the image as it is.
#include <fuzzer/FuzzedDataProvider.h>

#include <QRegularExpression>
#include <vector>

#include "base/cmcEvMan.h"
#include "base/prompter.h"
#include "fuzz_support.h"
#include "gtex/celllinks.h"
#include "gtex/cmcCellObj.h"
#include "model/catalogue.h"
#include "model/cmcCellCapsule.h"
#include "model/document.h"
#include "resources/factory/factory_images.h"
#include "sheet/core/SheetEnvironment.h"
#include "sheet/core/SheetModel.h"

namespace {

struct Cell {
  cmcCellObj cell;
  QByteArray sheetName;
  QByteArray arguments;
};

struct World {
  Document doc{factoryImage, &fuzz::mainText()};
  ScriptedPrompter prompter;
  cmcEvMan bus;
  std::unique_ptr<FieldCatalogue> catalogue;
  std::vector<Cell> cells;

  World() {
    doc.setDestination(0);
    doc.newDocument();
    CatalogueServices s;
    s.document = &doc;
    s.text = &fuzz::mainText();
    s.prompter = &prompter;
    s.bus = &bus;
    catalogue = std::make_unique<FieldCatalogue>(s);

    // The pages of the tree, by their call strings.
    const QByteArray tree = fuzz::mainText().getSectionText("GI_Tree_Main_Body");
    static const QRegularExpression call(QStringLiteral("%CallSheet:([^)]*)\\)"));
    DocumentSheetEnvironment environment(doc.options(), &doc.working());
    for (const auto& m : call.globalMatch(QString::fromLatin1(tree))) {
      SheetServices services;
      services.text = &fuzz::mainText();
      services.environment = &environment;
      auto sheet = SheetModel::create(m.captured(1).toLatin1(), services);
      sheet->build();
      for (int r = 0; r < sheet->rowCount(); ++r) {
        for (int c = 0; c < sheet->columnCount(); ++c) {
          const cmcCellObj& obj = sheet->cellAt(c, r);
          if (obj.link == CL_None || obj.category == CT_None || !sheet->isSelectable(c, r))
            continue;
          Cell cell;
          cell.cell.category = obj.category;
          cell.cell.link = obj.link;
          cell.cell.index = obj.index;
          cell.cell.argument = obj.argument;
          cell.sheetName = sheet->name();
          cell.arguments = sheet->arguments();
          cells.push_back(std::move(cell));
        }
      }
    }
    FUZZ_CHECK(cells.size() > 1000, "only %zu cells found", cells.size());
  }
};

constexpr int kKeys[] = {kKeyEnter,
                         kKeySpace,
                         kKeyBackspace,
                         kKeyFullStop,
                         kKeyDoubleClick,
                         kKeyEdit,
                         kKeyLeftAtRowStart,
                         kKeyRightAtRowEnd,
                         kKeyCompositionStart,
                         functionKey(5),
                         functionKey(6),
                         functionKey(9),
                         '0',
                         '5',
                         '9',
                         'A',
                         'z',
                         '-',
                         '+',
                         0x81};

int dispatch(World& w, const Cell& c, int key, const QByteArray* typed, bool edit,
             QByteArray* shown) {
  cmcCellCapsule req;
  req.cell = &c.cell;
  req.sheetName = c.sheetName;
  req.sheetArguments = c.arguments;
  if (edit) req.origin = CellOrigin::Grid;
  req.key = key;
  if (typed) {
    req.operation = kOpTextEntered;
    req.typedText = *typed;
  }
  req.repaint = [](int) {};
  const int result = w.catalogue->dispatch(req, edit);
  FUZZ_CHECK(result >= kDispatchDone && result <= kDispatchOpenEditor, "dispatch result %d",
             result);
  if (shown) *shown = req.resultText;
  return result;
}

QByteArray imageOf(const Document& doc) {
  return QByteArray(reinterpret_cast<const char*>(doc.working().data()), doc.working().size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ensureApplication();
  static World* world = new World;
  World& w = *world;
  FuzzedDataProvider in(data, size);
  w.doc.setDestination(in.ConsumeIntegralInRange(0, 15));
  w.doc.newDocument();
  const bool check = in.ConsumeBool();

  for (int step = 0; step < 16 && in.remaining_bytes() > 0; ++step) {
    const Cell& c = w.cells[in.ConsumeIntegralInRange<size_t>(0, w.cells.size() - 1)];
    switch (in.ConsumeIntegralInRange(0, 2)) {
      case 0:
        dispatch(w, c, kKeyNone, nullptr, false, nullptr);
        break;
      case 1:
        dispatch(w, c, in.PickValueInArray(kKeys), nullptr, true, nullptr);
        break;
      default: {
        const std::string s = in.ConsumeRandomLengthString(40);
        const QByteArray typed(s.data(), static_cast<qsizetype>(s.size()));
        const QByteArray before = imageOf(w.doc);
        dispatch(w, c, kKeyNone, &typed, true, nullptr);
        if (imageOf(w.doc) == before) break;
        QByteArray shown;
        dispatch(w, c, kKeyNone, nullptr, false, &shown);
        const QByteArray after = imageOf(w.doc);
        dispatch(w, c, kKeyNone, &shown, true, nullptr);
        FUZZ_CHECK(imageOf(w.doc) == after,
                   "typing the shown text \"%s\" of link %d index %d changed the image",
                   shown.constData(), c.cell.link, c.cell.index);
      }
    }
    QByteArray shown;
    dispatch(w, c, kKeyNone, nullptr, false, &shown);
  }
  if (check) (void)runWarningCheck(*w.catalogue, fuzz::mainText());
  FUZZ_CHECK(w.doc.working().size() == 0x3000);
  return 0;
}
