#include "sheet/core/SheetModel.h"

#include <algorithm>
#include <cmath>

#include <QList>

#include "base/cmcEvMan.h"
#include "base/fatal.h"
#include "base/textcodec.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "model/cmcCellCapsule.h"
#include "sheet/core/SheetEnvironment.h"

namespace {

const EmptySheetEnvironment kNoDocument;
const FixedPitchMeasure kFixedPitch;

bool isLead(char c) { return isCp932LeadByte(static_cast<unsigned char>(c)); }

// Calls f with the contents of every "(...)" group of `text`. Outside a group a '\' escapes the
// next byte; inside, a ')' preceded by '\' does not close. Double-byte characters never match.
template <typename F>
void forEachGroup(QByteArrayView text, F&& f) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  auto step = [&](qsizetype at) { return (isLead(text[at]) && at + 1 < n) ? 2 : 1; };
  while (i < n) {
    const qsizetype w = step(i);
    if (w == 1 && text[i] == '\\') {
      i += 1 + (i + 1 < n ? step(i + 1) : 0);
      continue;
    }
    if (w == 1 && text[i] == '(') {
      const qsizetype start = ++i;
      while (i < n) {
        const qsizetype v = step(i);
        if (v == 1 && text[i] == '\\') {
          i += 1 + (i + 1 < n ? step(i + 1) : 0);
          continue;
        }
        if (v == 1 && text[i] == ')') break;
        i += v;
      }
      f(text.sliced(start, std::min(i, n) - start));
      ++i;
      continue;
    }
    i += w;
  }
}

// The value after '=' (empty when there is none).
QByteArrayView valueOf(QByteArrayView group) {
  const qsizetype eq = group.indexOf('=');
  return eq < 0 ? QByteArrayView() : group.sliced(eq + 1);
}

// The number after a directive's name.
int directiveNumber(QByteArrayView directive, QByteArrayView name) {
  return SheetCall::leadingNumber(directive.sliced(name.size()), 0);
}

int scaled(double scale, int pixels) { return static_cast<int>(std::lround(pixels * scale)); }

}  // namespace

// ---- creation -------------------------------------------------------------------------------

std::unique_ptr<SheetModel> SheetModel::create(QByteArrayView callString,
                                               const SheetServices& services) {
  return create(SheetCall::parse(callString).sheetClass(), callString, services);
}

std::unique_ptr<SheetModel> SheetModel::create(SheetClass sheetClass, QByteArrayView callString,
                                               const SheetServices& services) {
  std::unique_ptr<SheetModel> sheet;
  switch (sheetClass) {
    case SheetClass::Common:
      sheet = std::make_unique<CommonSheetModel>(callString, services);
      break;
    case SheetClass::ColCut:
      sheet = std::make_unique<ColCutSheetModel>(callString, services);
      break;
    case SheetClass::Channel:
      sheet = std::make_unique<ChannelSheetModel>(callString, services);
      break;
    case SheetClass::Plain:
      sheet.reset(new SheetModel(SheetClass::Plain, callString, services));
      break;
  }
  sheet->setArguments();
  return sheet;
}

SheetModel::SheetModel(SheetClass sheetClass, QByteArrayView callString,
                       const SheetServices& services)
    : class_(sheetClass),
      call_(SheetCall::parse(callString)),
      text_(services.text),
      parser_(services.parser),
      environment_(services.environment ? services.environment : &kNoDocument),
      measure_(services.measure ? services.measure : &kFixedPitch),
      texts_(services.texts),
      widths_(services.widths),
      bus_(services.bus) {
  if (!text_) fatalError("A sheet needs its resource text.");
  if (!parser_) {
    ownParser_ = std::make_unique<cmcCellParser>(*text_);
    parser_ = ownParser_.get();
  }
  if (bus_) bus_->subscribe<&SheetModel::onEvent>(this);
}

SheetModel::~SheetModel() {
  if (bus_) bus_->unsubscribe<&SheetModel::onEvent>(this);
}

void SheetModel::setArguments() {
  sheetNumber_ = call_.argumentNumber(0, -1);
  indexOffset_ = 0;
}

void SheetModel::onEvent(const cmcEvent&) {}

// ---- building -------------------------------------------------------------------------------

void SheetModel::build(const SheetBuildOptions& options) {
  reset();
  options_ = options;
  readStyle();
  buildBasicCell();
  countLayout();
  fillLayout();
  // After the variants' steps, so that a hidden column never counts as the start.
  findSelectableStart();
  // The grid is complete: the width store asks for the kept columns.
  built_ = true;
  applyWidths();
}

void SheetModel::reset() {
  built_ = false;
  style_ = SheetStyle{};
  basicCell_ = cmcCellObj{};
  variables_.fill(0);
  lines_.clear();
  rows_.clear();
  cells_.clear();
  columnWidths_.clear();
  rowHeights_.clear();
  columnCount_ = 0;
  minSelectableColumn_ = -1;
  minSelectableRow_ = -1;
  currentLine_ = 0;
  selectFlag_ = true;
  skipCount_ = 0;
  loopStart_ = -1;
  loopEnd_ = -1;
  loopCount_ = 0;
  loopBody_.clear();
}

void SheetModel::readStyle() {
  const QByteArray line = text_->getValue(QByteArray(call_.name + "_Style").constData());
  forEachGroup(line, [this](QByteArrayView group) { applyStyleGroup(group); });
}

void SheetModel::applyStyleGroup(QByteArrayView group) {
  const QByteArrayView value = valueOf(group);
  if (group.startsWith("TitleString")) {
    style_.titleString = value.toByteArray();
  } else if (group.startsWith("TitleColor")) {
    colourByName(value.trimmed(), style_.titleColour);
  } else if (group.startsWith("TitleFont")) {
    CellFont font = parser_->newFont();
    parser_->parseFont(value, font);
    style_.titleFont = font;
  } else if (group.startsWith("FixedCols")) {
    style_.fixedCols = SheetCall::leadingNumber(value, 0);
  } else if (group.startsWith("FixedRows")) {
    style_.fixedRows = SheetCall::leadingNumber(value, 0);
  } else if (group == "NoPrint") {
    style_.noPrint = true;
  } else if (group.startsWith("PrintFontRatio")) {
    style_.printFontRatio = SheetCall::leadingNumber(value, 100);
  } else if (group.startsWith("MultiSelect")) {
    const QByteArrayView mode = value.trimmed();
    if (mode == "Cell") style_.multiSelect = MultiSelectMode::Cell;
    else if (mode == "Line") style_.multiSelect = MultiSelectMode::Line;
  } else if (group.startsWith("ColCutMenu")) {
    style_.colCutMenu = true;
  } else if (group.startsWith("ColSizing")) {
    style_.colSizing = true;
  } else if (group.startsWith("ColorSelectLine")) {
    style_.colorSelectLine = true;
  }
}

void SheetModel::buildBasicCell() {
  QByteArray markup = text_->getValue(QByteArray(call_.name + "_BasicCell").constData());
  // The display font scale (or, for a printer, the imposed height) reaches every cell through
  // the basic cell's font, from which they all derive.
  if (options_.fontHeight != 0)
    markup += "{(Font=,,," + QByteArray::number(options_.fontHeight) + ",,,)}";
  else
    markup += "{(Font=,,,%" + QByteArray::number(options_.fontScalePercent) + ",,,)}";
  if (options_.printing && style_.printFontRatio != 100)
    markup += "{(Font=,,,%" + QByteArray::number(style_.printFontRatio) + ",,,)}";
  parser_->parseCell(basicCell_, markup, nullptr, nullptr);
}

void SheetModel::applyDirective(QByteArrayView directive) {
  if (directive.startsWith("LoopFrom")) {
    loopStart_ = currentLine_;
    loopEnd_ = -1;
    loopCount_ = std::max(directiveNumber(directive, "LoopFrom"), 1);
    loopBody_.clear();
  } else if (directive.startsWith("LoopTo")) {
    // Only an open loop can be closed; a stray LoopTo would otherwise complete the next loop
    // before its body was read.
    if (loopStart_ >= 0 && loopEnd_ < 0) loopEnd_ = currentLine_;
  } else if (directive.startsWith("SelectON")) {
    selectFlag_ = true;
  } else if (directive.startsWith("SelectOFF")) {
    selectFlag_ = false;
  }
}

void SheetModel::countLayout() {
  const QByteArray section = call_.name + "_Cells";
  for (int n = 0;; ++n) {
    QByteArray line = text_->getLine(section.constData(), n);
    if (line.startsWith('#')) break;
    lines_.push_back(line);
    if (skipCount_ > 0) {
      --skipCount_;
      continue;
    }
    currentLine_ = n;
    if (line.startsWith(':')) {
      forEachGroup(QByteArrayView(line).sliced(1),
                   [this](QByteArrayView group) { applyDirective(group); });
      if (loopStart_ >= 0 && loopEnd_ >= 0 && loopCount_ > 0) {
        // The body's rows are repeated as they were counted, so a directive or a skipped line
        // inside the body never turns into a row.
        for (int k = 1; k < loopCount_; ++k)
          for (int bodyLine : loopBody_) rows_.push_back({bodyLine, selectFlag_});
        loopStart_ = loopEnd_ = -1;
        loopCount_ = 0;
        loopBody_.clear();
      }
      continue;
    }
    columnCount_ = std::max(columnCount_, cmcCellParser::countCells(line));
    rows_.push_back({n, selectFlag_});
    if (loopStart_ >= 0 && loopEnd_ < 0) loopBody_.push_back(n);
  }
  if (columnCount_ == 0 || rows_.empty()) fatalError("Illegal Cell assign");
  cells_.assign(static_cast<size_t>(columnCount_) * rows_.size(), SheetCell{});
}

void SheetModel::fillLayout() {
  const double s = scale();
  // Rows and columns take their size only from auto-size cells.
  const int minimum = options_.printing ? std::max(1, static_cast<int>(options_.printScale)) : 1;
  columnWidths_.assign(columnCount_, minimum);
  rowHeights_.assign(rows_.size(), minimum);
  const bool multi = style_.multiSelect != MultiSelectMode::None;

  for (int r = 0; r < rowCount(); ++r) {
    const int line = rows_[r].line;
    if (r > 0 && rows_[r - 1].line == line) {
      // A one-line loop body: copied from the row above with the next index.
      for (int c = 0; c < columnCount_; ++c) {
        at(c, r).cell = at(c, r - 1).cell;
        ++at(c, r).cell.index;
      }
      rowHeights_[r] = rowHeights_[r - 1];
    } else {
      QByteArrayView rest = lines_[line];
      for (int c = 0; c < columnCount_ && !rest.isEmpty(); ++c) {
        cmcCellObj& cell = at(c, r).cell;
        rest = parser_->parseCell(cell, rest, &basicCell_, &variables_);
        cell.variables = nullptr;
        if (cell.autoWidth() || cell.autoHeight()) {
          const TextExtent extent = measureCellText(cell, cell.text.value_or(QByteArray()));
          if (cell.autoWidth())
            columnWidths_[c] = std::max(columnWidths_[c], extent.width + scaled(s, 8));
          if (cell.autoHeight())
            rowHeights_[r] = std::max(rowHeights_[r], extent.height + scaled(s, 2));
        }
        cellHook(c, r);
      }
    }
    for (int c = 0; c < columnCount_; ++c) at(c, r).inMultiSelectRow = multi && rows_[r].multiSelect;
    rowHook(r);
  }
  applyIndexOffset();
}

void SheetModel::findSelectableStart() {
  minSelectableColumn_ = minSelectableRow_ = -1;
  for (int r = 0; r < rowCount(); ++r)
    for (int c = 0; c < columnCount_; ++c) {
      if (!at(c, r).cell.selectable()) continue;
      if (minSelectableColumn_ < 0 || c < minSelectableColumn_) minSelectableColumn_ = c;
      if (minSelectableRow_ < 0) minSelectableRow_ = r;
    }
}

void SheetModel::applyIndexOffset() {
  if (indexOffset_ == 0) return;
  for (SheetCell& cell : cells_) cell.cell.index += indexOffset_;
  basicCell_.index += indexOffset_;
}

void SheetModel::applyWidths() {
  if (options_.printing) {
    loadWidths();
    return;
  }
  if (options_.dialog) return;
  if (options_.resetWidths) {
    if (widths_) widths_->deleteAllWidths();
  } else {
    loadWidths();
  }
  saveWidths();
}

void SheetModel::loadWidths() {
  if (widths_) widths_->loadWidths(*this);
}

void SheetModel::saveWidths() {
  if (widths_) widths_->saveWidths(*this);
}

// ---- the grid -------------------------------------------------------------------------------

SheetCell& SheetModel::at(int column, int row) {
  return cells_[static_cast<size_t>(row) * columnCount_ + column];
}

const SheetCell& SheetModel::at(int column, int row) const {
  return cells_[static_cast<size_t>(row) * columnCount_ + column];
}

int SheetModel::fixedCols() const {
  return std::clamp(style_.fixedCols, 0, std::max(columnCount_ - 1, 0));
}

int SheetModel::fixedRows() const {
  return std::clamp(style_.fixedRows, 0, std::max(rowCount() - 1, 0));
}

const cmcCellObj& SheetModel::cellAt(int column, int row) const {
  return cellState(column, row).cell;
}

const SheetCell& SheetModel::cellState(int column, int row) const {
  // Cells exist from the end of counting on, so the variants' steps after it may use them.
  if (cells_.empty() || column < 0 || row < 0 || column >= columnCount_ || row >= rowCount())
    fatalError("Illegal Cell selection");
  return at(column, row);
}

SheetCell& SheetModel::cellState(int column, int row) {
  return const_cast<SheetCell&>(std::as_const(*this).cellState(column, row));
}

const SheetRowAttr& SheetModel::rowAttr(int row) const {
  if (row < 0 || row >= rowCount()) fatalError("Illegal Cell selection");
  return rows_[row];
}

int SheetModel::columnWidth(int column) const {
  return column >= 0 && column < static_cast<int>(columnWidths_.size()) ? columnWidths_[column]
                                                                        : 0;
}

void SheetModel::setColumnWidth(int column, int width) {
  if (column >= 0 && column < static_cast<int>(columnWidths_.size()))
    columnWidths_[column] = std::max(width, 0);
}

int SheetModel::rowHeight(int row) const {
  return row >= 0 && row < static_cast<int>(rowHeights_.size()) ? rowHeights_[row] : 0;
}

void SheetModel::setRowHeight(int row, int height) {
  if (row >= 0 && row < static_cast<int>(rowHeights_.size())) rowHeights_[row] = std::max(height, 0);
}

int SheetModel::totalWidth() const {
  int sum = 0;
  for (int w : columnWidths_) sum += w;
  return sum;
}

int SheetModel::totalHeight() const {
  int sum = 0;
  for (int h : rowHeights_) sum += h;
  return sum;
}

bool SheetModel::isSelectable(int column, int row) const {
  return built_ && column >= 0 && row >= 0 && column < columnCount_ && row < rowCount() &&
         at(column, row).cell.selectable();
}

SheetPos SheetModel::firstSelectableCell() const {
  if (!built_) return {};
  for (int r = 0; r < rowCount(); ++r)
    for (int c = 0; c < columnCount_; ++c)
      if (at(c, r).cell.selectable()) return {c, r};
  return {};
}

SheetPos SheetModel::findSelectableCell(int link, int index) const {
  if (!built_) return {};
  for (int r = 0; r < rowCount(); ++r)
    for (int c = 0; c < columnCount_; ++c) {
      const cmcCellObj& cell = at(c, r).cell;
      if (cell.selectable() && cell.link == link && cell.index == index) return {c, r};
    }
  return {};
}

SheetPos SheetModel::findSelectableCell(int category, int link, int index) const {
  if (!built_) return {};
  for (int r = 0; r < rowCount(); ++r)
    for (int c = 0; c < columnCount_; ++c) {
      const cmcCellObj& cell = at(c, r).cell;
      if (cell.selectable() && cell.category == category && cell.link == link &&
          cell.index == index)
        return {c, r};
    }
  return {};
}

SheetPos SheetModel::startCell(SheetPos saved, int link, int index) const {
  if (isSelectable(saved.column, saved.row)) return saved;
  if (link != CL_None) {
    const SheetPos requested = findSelectableCell(link, index);
    if (requested.valid()) return requested;
  }
  return firstSelectableCell();
}

// ---- texts ----------------------------------------------------------------------------------

const CellFont& SheetModel::fontOf(const cmcCellObj& cell) const {
  if (const CellFont* font = cell.effectiveFont()) return *font;
  if (const CellFont* font = basicCell_.effectiveFont()) return *font;
  static const CellFont fallback;
  return fallback;
}

TextExtent SheetModel::measureCellText(const cmcCellObj& cell, QByteArrayView text) const {
  return measure_->measure(text, fontOf(cell));
}

QByteArray SheetModel::displayText(int column, int row) const {
  const cmcCellObj& cell = cellAt(column, row);
  if (cell.link != CL_None) return texts_ ? texts_->cellText(*this, column, row) : QByteArray();
  return cell.text.value_or(QByteArray());
}

int SheetModel::autoFitColumnWidth(int column) const {
  const int margin = scaled(scale(), 8);
  int width = 0;
  const int fixed = fixedRows();
  for (int r = 0; r < rowCount(); ++r) {
    const cmcCellObj& cell = cellAt(column, r);
    if (r < fixed) {
      // A header joined by the next column spans both; its text does not size this one.
      if (column + 1 < columnCount_ && at(column + 1, r).cell.join()) continue;
      width = std::max(width, measureCellText(cell, cell.text.value_or(QByteArray())).width);
    } else {
      width = std::max(width, measureCellText(cell, displayText(column, r)).width);
    }
  }
  return width + margin;
}

int SheetModel::firstBodyRow() const {
  return std::clamp(style_.fixedRows, 0, std::max(rowCount() - 1, 0));
}

std::vector<int> SheetModel::keptColumns() const {
  std::vector<int> kept;
  if (!built_) return kept;
  const int row = firstBodyRow();
  for (int c = 0; c < columnCount_; ++c)
    if (at(c, row).cell.selectable()) kept.push_back(c);
  return kept;
}

void SheetModel::fillRequest(cmcCellCapsule& request, int column, int row) const {
  request.cell = &cellAt(column, row);
  request.sheetName = call_.name;
  request.sheetArguments = call_.arguments;
  if (options_.printing) request.marks |= kMarkPrinting;
}

QByteArray SheetModel::titleText() const { return style_.titleString.value_or(QByteArray()); }

bool SheetModel::isPrintable() const { return !style_.noPrint; }

QByteArray SheetModel::sectionLine(const char* section, int n) const {
  if (n < 0) return {};
  const QList<QByteArray> lines = text_->getSectionText(section).split('\n');
  return n < lines.size() ? lines[n] : QByteArray();
}

// ---- iuiSh_Common ---------------------------------------------------------------------------

void CommonSheetModel::setArguments() {
  sheetNumber_ = SheetCall::leadingNumber(arguments(), -1);
  indexOffset_ = 0;
}

void CommonSheetModel::applyDirective(QByteArrayView directive) {
  if (directive.startsWith("Only_USA")) {
    if (!environment().isUSA()) skipNextLines(directiveNumber(directive, "Only_USA"));
  } else if (directive.startsWith("Only_Current")) {
    if (sheetNumber() != kMainSettingsSheet)
      skipNextLines(directiveNumber(directive, "Only_Current"));
  } else if (directive.startsWith("Only_Marine")) {
    if (!environment().marineAvailable()) skipNextLines(directiveNumber(directive, "Only_Marine"));
  } else {
    SheetModel::applyDirective(directive);
  }
}

QByteArray CommonSheetModel::titleText() const {
  QByteArray title = SheetModel::titleText();
  if (sheetNumber() == 9 || sheetNumber() == 11) {
    const QByteArray memory = sectionLine("GI_AppInd_CommonTitle", sheetNumber());
    if (!memory.isEmpty()) title.prepend(memory);
  }
  return title;
}

void CommonSheetModel::onEvent(const cmcEvent& event) {
  if (event.code == ev::kAskSheetTitle) bus()->answerBytes(titleText());
  else if (event.code == ev::kAskSheetNumber) bus()->answer(nullptr, sheetNumber());
}

// ---- iuiSh_ColCut ---------------------------------------------------------------------------

void ColCutSheetModel::fillLayout() {
  SheetModel::fillLayout();
  cutColumns();
}

void ColCutSheetModel::cutColumns() {
  const int rows = rowCount();
  const int columns = columnCount();
  for (int c = 0; c < columns; ++c) {
    int cutRow = -1;
    for (int r = 0; r < rows && cutRow < 0; ++r)
      if (columnCutSelects(cellState(c, r).cell)) cutRow = r;
    if (cutRow < 0) continue;

    // The nearest column to the left that stays takes over the cut column's right rules, so
    // the line that closed the group still closes it.
    int left = -1;
    for (int l = c - 1; l >= 1; --l)
      if (!columnCutSelects(cellState(l, cutRow).cell)) {
        left = l;
        break;
      }
    if (rows > 1) cellState(c, 1).cell.layoutFlags &= ~0x80;  // no longer joins a header band
    if (left >= 0) {
      for (int r = 0; r < rows; ++r) {
        cmcCellObj& target = cellState(left, r).cell;
        const uint8_t rule = cellState(c, r).cell.behaviourFlags & 0x06;
        target.behaviourFlags = static_cast<uint8_t>((target.behaviourFlags & ~0x06) | rule);
      }
    }
    setColumnWidth(c, 0);
    if (c > 0 && columnWidth(c - 1) == 1) setColumnWidth(c - 1, 0);
  }
  for (int c = 0; c < columns; ++c) {
    if (columnWidth(c) != 0) continue;
    for (int r = 0; r < rows; ++r) cellState(c, r).cell.behaviourFlags &= ~0x08;
  }
}

// ---- iuiSh_ColCut_A -------------------------------------------------------------------------

void ChannelSheetModel::setArguments() {
  sheetNumber_ = call().argumentNumber(0, -1);
  indexOffset_ = call().argumentNumber(1, 0);
}

QByteArray ChannelSheetModel::titleText() const {
  const QByteArray title = sectionLine("GI_AppInd_MchFuncTitle", sheetNumber());
  return title.isEmpty() ? SheetModel::titleText() : title;
}

bool ChannelSheetModel::isPrintable() const {
  if (!SheetModel::isPrintable()) return false;
  int first = 0;
  int last = 0;
  switch (sheetNumber()) {
    case 0:
      first = 0, last = 99;
      break;
    case 1:
      first = 100, last = 199;
      break;
    case 2:
      first = 200, last = 205;
      break;
    case 3:
      first = last = 206;
      break;
    default:
      return true;
  }
  for (int i = first; i <= last; ++i)
    if (environment().channelInUse(i)) return true;
  return false;
}

bool ChannelSheetModel::columnCutSelects(const cmcCellObj& cell) const {
  return cell.link == CL_Mch_Freq_DbgRef || cell.link == CL_Mch_Offset_Freq_DbgRef ||
         (cell.link == CL_Mch_Marine && !environment().marineAvailable());
}

void ChannelSheetModel::onEvent(const cmcEvent& event) {
  if (event.code == ev::kAskSheetTitle) bus()->answerBytes(titleText());
  else if (event.code == ev::kAskSheetNumber || event.code == ev::kAskColCutSheetNumber)
    bus()->answer(nullptr, sheetNumber());
}
