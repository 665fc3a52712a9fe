// Cell mark-up and the sheet builder over texts of any content. The input is a page: a style line,
// a basic cell line and the cell lines. Each line after the first is parsed on its own as a line
// of cells (as the flag-bits dialog's generated mark-up is); then the page is built beside the
// program's own text. Names the text does not know
// are faults of the program's data and end the program by design: here they end the input.
// Everything else must parse and build, and every cell must come out with a known category and
// link.
#include <QList>
#include <vector>

#include "fuzz_support.h"
#include "gtex/celllinks.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcCellObj.h"
#include "sheet/core/SheetModel.h"

namespace {

bool knownCell(const cmcCellObj& c) {
  return c.category >= 0 && c.category <= CT_None && c.link >= 0 && c.link <= CL_None;
}

// The program's pages repeat at most 100 rows; a text asking for millions only measures memory.
bool reasonableSize(const QList<QByteArray>& lines) {
  qint64 loops = 1;
  qint64 columns = 1;
  for (const QByteArray& l : lines) {
    const qsizetype at = l.indexOf("LoopFrom");
    if (at >= 0) loops = std::max<qint64>(loops, l.mid(at + 8).trimmed().left(9).toLongLong());
    columns = std::max<qint64>(columns, l.count('|') + 1);
  }
  return loops <= 200 && loops * lines.size() * columns <= 200000;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = [] {
    fuzz::throwOnProgramDataFault();
    return true;
  }();
  (void)once;
  const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QList<QByteArray> lines = input.split('\n');
  if (!reasonableSize(lines)) return 0;
  const EmbeddedText main = mainResourceText();

  // Lines of cells, each on its own.
  cmcGTex models;
  models.setSource(main.lines, main.count);
  cmcCellParser parser(models);
  for (qsizetype i = 1; i < lines.size(); ++i) {
    try {
      CellVariables variables{};
      cmcCellObj base;
      QByteArrayView rest = lines[i];
      for (qsizetype guard = 0; guard <= lines[i].size() && !rest.isEmpty(); ++guard) {
        cmcCellObj cell;
        rest = parser.parseCell(cell, rest, &base, &variables);
        FUZZ_CHECK(knownCell(cell), "category %d link %d", cell.category, cell.link);
      }
    } catch (const fuzz::ProgramDataFault&) {
    }
  }

  // A page: style, basic cell, cells, after the program's own text (its cell models).
  if (lines.size() < 3) return 0;
  const QByteArray state = lines[0].left(1) == "C"   ? "[St_Common]"
                           : lines[0].left(1) == "K" ? "[St_ColCut]"
                                                     : "";
  std::vector<QByteArray> page{"#GI_Sheet_Fz_Style", lines[0], "#GI_Sheet_Fz_BasicCell", lines[1],
                               "#GI_Sheet_Fz_Cells"};
  for (qsizetype i = 2; i < lines.size(); ++i)
    page.push_back(lines[i].startsWith('#') ? QByteArray() : lines[i]);
  page.push_back("#");
  std::vector<const char*> table(main.lines, main.lines + main.count);
  for (const QByteArray& l : page) table.push_back(l.constData());
  try {
    cmcGTex text;
    text.setSource(table.data(), static_cast<int>(table.size()));
    SheetServices services;
    services.text = &text;
    auto sheet = SheetModel::create(state + "GI_Sheet_Fz,1,100", services);
    sheet->build();
    FUZZ_CHECK(sheet->columnCount() > 0 && sheet->rowCount() > 0);
    for (int r = 0; r < sheet->rowCount(); ++r) {
      for (int c = 0; c < sheet->columnCount(); ++c) {
        FUZZ_CHECK(knownCell(sheet->cellAt(c, r)), "cell %d,%d", c, r);
        (void)sheet->displayText(c, r);
      }
    }
    (void)sheet->firstSelectableCell();
    (void)sheet->totalWidth();
  } catch (const fuzz::ProgramDataFault&) {
  }
  return 0;
}
