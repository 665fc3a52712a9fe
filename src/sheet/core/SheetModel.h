#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <memory>
#include <optional>
#include <vector>

#include "gtex/cmcCellObj.h"
#include "sheet/core/SheetCall.h"
#include "sheet/core/TextMeasure.h"

class cmcCellParser;
class cmcEvMan;
class cmcGTex;
class SheetEnvironment;
class SheetModel;
struct cmcCellCapsule;
struct cmcEvent;

enum class MultiSelectMode : int { None = 0, Cell = 1, Line = 2 };

// The settings of a sheet's _Style line.
struct SheetStyle {
  static constexpr CellColour kDefaultTitleColour = 0xFF000011;  // clGrayText

  std::optional<QByteArray> titleString;  // a title bar exists only when set and not empty
  CellColour titleColour = kDefaultTitleColour;
  std::optional<CellFont> titleFont;
  int fixedCols = 0;  // as written; SheetModel::fixedCols() gives the clamped count
  int fixedRows = 0;
  bool noPrint = false;
  int printFontRatio = 100;  // percent, applied when built for a printer
  MultiSelectMode multiSelect = MultiSelectMode::None;
  bool colCutMenu = false;       // a right click on a header row opens the column-cut menu
  bool colSizing = false;        // the user may drag column widths; double-click auto-fits
  bool colorSelectLine = false;  // the current row is tinted
};

// One grid row: the _Cells line it is built from and whether it takes part in multiple
// selection.
struct SheetRowAttr {
  int line = 0;
  bool multiSelect = true;
};

// One grid cell: its attributes and the state bits the grid keeps beside them.
struct SheetCell {
  cmcCellObj cell;
  bool inMultiSelectRow = false;
  bool marked = false;
  bool lineMarked = false;
};

struct SheetPos {
  int column = -1;
  int row = -1;
  bool valid() const { return column >= 0 && row >= 0; }
  bool operator==(const SheetPos&) const = default;
};

// The text a linked cell shows: the field catalogue's answer for it (code page 932).
class SheetTextProvider {
 public:
  virtual ~SheetTextProvider() = default;
  virtual QByteArray cellText(const SheetModel& sheet, int column, int row) = 0;
};

// Saved column widths (kept per sheet family in the settings).
class SheetWidthStore {
 public:
  virtual ~SheetWidthStore() = default;
  // Applies the saved widths; scaled when the sheet is built for a printer.
  virtual void loadWidths(SheetModel& sheet) = 0;
  virtual void saveWidths(const SheetModel& sheet) = 0;
  // Forgets the widths of every family (after a change of display language).
  virtual void deleteAllWidths() = 0;
};

// What a sheet is built with. Only `text` is required; the others have headless defaults
// (own parser, fixed-pitch measure, no document, no linked texts, no width store, no bus).
struct SheetServices {
  cmcGTex* text = nullptr;           // the resource text: sections and cell models
  cmcCellParser* parser = nullptr;   // shared parser (carries the default face)
  const SheetEnvironment* environment = nullptr;
  const TextMeasure* measure = nullptr;
  SheetTextProvider* texts = nullptr;
  SheetWidthStore* widths = nullptr;
  cmcEvMan* bus = nullptr;  // sheets shown on screen answer asked events through it
};

// How one build is made.
struct SheetBuildOptions {
  int fontScalePercent = 100;  // display font scale setting
  bool printing = false;
  double printScale = 1.0;  // printer pixels per inch / screen pixels per inch
  int fontHeight = 0;       // imposed font height (printing); 0 = none
  bool dialog = false;      // drop-down lists and dialogs keep no widths
  bool resetWidths = false;  // forget all saved widths instead of loading them
};

// One page built from its GI_Sheet_<name>_Style, _BasicCell and _Cells sections: the headless
// half of cuiSheet. The variants (iuiSh_Common, iuiSh_ColCut, iuiSh_ColCut_A) override the
// steps below; create() picks the variant from the call string's state. On screen the cuiSheet
// widget owns one model made by create(), draws its cells and asks it for everything that is
// not drawing; className() names the variant it stands for.
//
// Faults of the description end the program: a missing section, "Illegal Cell assign" when the
// layout yields no column or no row, "Illegal Cell selection" for a cell outside the grid (or
// asked before the build), and the mark-up's own faults.
class SheetModel {
 public:
  static std::unique_ptr<SheetModel> create(QByteArrayView callString,
                                            const SheetServices& services);
  static std::unique_ptr<SheetModel> create(SheetClass sheetClass, QByteArrayView callString,
                                            const SheetServices& services);
  virtual ~SheetModel();
  SheetModel(const SheetModel&) = delete;
  SheetModel& operator=(const SheetModel&) = delete;

  // Reads the description and builds rows, columns, cells and sizes. May be called again
  // (printing rebuilds with another font); each build starts from zeroed variables.
  void build(const SheetBuildOptions& options = {});
  bool isBuilt() const { return built_; }

  // Identity.
  SheetClass sheetClass() const { return class_; }
  const char* className() const { return sheetClassName(class_); }
  const SheetCall& call() const { return call_; }
  const QByteArray& name() const { return call_.name; }
  const QByteArray& callString() const { return call_.callString; }
  const QByteArray& arguments() const { return call_.arguments; }
  int sheetNumber() const { return sheetNumber_; }
  int indexOffset() const { return indexOffset_; }

  // Description.
  const SheetStyle& style() const { return style_; }
  const SheetBuildOptions& buildOptions() const { return options_; }
  bool hasTitleBar() const { return style_.titleString && !style_.titleString->isEmpty(); }
  virtual QByteArray titleText() const;
  const cmcCellObj& basicCell() const { return basicCell_; }
  CellVariables& variables() { return variables_; }

  // Grid.
  int columnCount() const { return columnCount_; }
  int rowCount() const { return static_cast<int>(rows_.size()); }
  int fixedCols() const;  // clamped to 0 .. column count - 1
  int fixedRows() const;  // clamped to 0 .. row count - 1
  const cmcCellObj& cellAt(int column, int row) const;
  SheetCell& cellState(int column, int row);
  const SheetCell& cellState(int column, int row) const;
  const SheetRowAttr& rowAttr(int row) const;
  int columnWidth(int column) const;
  void setColumnWidth(int column, int width);
  int rowHeight(int row) const;
  void setRowHeight(int row, int height);
  int totalWidth() const;
  int totalHeight() const;
  // Smallest column and row that hold a selectable cell (-1 when none): scrolling back to them
  // shows the start of the sheet.
  int minSelectableColumn() const { return minSelectableColumn_; }
  int minSelectableRow() const { return minSelectableRow_; }
  // Pixels per screen pixel: 1 on screen, the printer's ratio when built for printing.
  double scale() const { return options_.printing ? options_.printScale : 1.0; }

  // Finding cells (rows from the top, each row from the left).
  bool isSelectable(int column, int row) const;
  SheetPos firstSelectableCell() const;
  SheetPos findSelectableCell(int link, int index) const;
  SheetPos findSelectableCell(int category, int link, int index) const;
  // Where the current cell starts: the saved position if it is still selectable, else the
  // first selectable cell with the requested link and index, else the first selectable cell.
  // Invalid when the sheet has no selectable cell (the grid is then disabled).
  SheetPos startCell(SheetPos saved, int link, int index) const;

  // Texts. A linked cell shows the provider's text (empty without one); any other cell its own.
  QByteArray displayText(int column, int row) const;
  TextExtent measureCellText(const cmcCellObj& cell, QByteArrayView text) const;
  // The width a double-click auto-fit gives a column: the widest of the fixed rows' own texts
  // (where the next column does not join them) and the body rows' shown texts, plus margins.
  int autoFitColumnWidth(int column) const;
  // The row whose selectable cells decide which columns keep saved widths.
  int firstBodyRow() const;
  std::vector<int> keptColumns() const;
  // Fills the parts of a cell request that come from the sheet: cell, sheet name and arguments,
  // the printing mark.
  void fillRequest(cmcCellCapsule& request, int column, int row) const;
  // The font a cell is drawn with: its own, else its base's, else the basic cell's.
  const CellFont& fontOf(const cmcCellObj& cell) const;

  // Printable tests: for printing the current sheet, and as asked while printing all sheets.
  virtual bool isPrintable() const;
  virtual bool isPrintableForPrintAll() const { return isPrintable(); }

  const SheetEnvironment& environment() const { return *environment_; }
  const TextMeasure& measure() const { return *measure_; }
  cmcGTex& text() const { return *text_; }

 protected:
  SheetModel(SheetClass sheetClass, QByteArrayView callString, const SheetServices& services);

  // Overridable steps, in the order a sheet takes them.
  virtual void setArguments();
  virtual void applyStyleGroup(QByteArrayView group);
  virtual void applyDirective(QByteArrayView directive);
  virtual void buildBasicCell();
  virtual void countLayout();
  virtual void fillLayout();
  virtual void rowHook(int /*row*/) {}
  virtual void cellHook(int /*column*/, int /*row*/) {}
  virtual void loadWidths();
  virtual void saveWidths();
  // Asked events of the application's bus; the plain sheet answers none.
  virtual void onEvent(const cmcEvent& event);

  // For the variants' directives: skip the next n layout lines.
  void skipNextLines(int n) { skipCount_ = n; }
  // Line n of a resource section's content, empty when n is negative or past its end.
  QByteArray sectionLine(const char* section, int n) const;
  cmcEvMan* bus() const { return bus_; }

  int sheetNumber_ = -1;
  int indexOffset_ = 0;

 private:
  void reset();
  void readStyle();
  void applyIndexOffset();
  void findSelectableStart();
  void applyWidths();
  SheetCell& at(int column, int row);
  const SheetCell& at(int column, int row) const;

  SheetClass class_;
  SheetCall call_;
  cmcGTex* text_;
  cmcCellParser* parser_;
  std::unique_ptr<cmcCellParser> ownParser_;
  const SheetEnvironment* environment_;
  const TextMeasure* measure_;
  SheetTextProvider* texts_;
  SheetWidthStore* widths_;
  cmcEvMan* bus_;

  SheetBuildOptions options_;
  SheetStyle style_;
  cmcCellObj basicCell_;
  CellVariables variables_{};
  std::vector<QByteArray> lines_;  // the _Cells lines up to the closing '#'
  std::vector<SheetRowAttr> rows_;
  std::vector<SheetCell> cells_;  // row by row
  std::vector<int> columnWidths_;
  std::vector<int> rowHeights_;
  int columnCount_ = 0;
  int minSelectableColumn_ = -1;
  int minSelectableRow_ = -1;
  bool built_ = false;

  // While counting.
  int currentLine_ = 0;
  bool selectFlag_ = true;
  int skipCount_ = 0;
  int loopStart_ = -1;
  int loopEnd_ = -1;
  int loopCount_ = 0;
  std::vector<int> loopBody_;  // lines of the body's rows, in order
};

// iuiSh_Common: the common-settings page. The whole argument is the sheet number; the Only_*
// directives hide lines by destination, sheet and marine use; the function memories' pages
// (9, 11) carry the memory's name before the title. Answers asked events 44 and 45.
class CommonSheetModel : public SheetModel {
 public:
  CommonSheetModel(QByteArrayView callString, const SheetServices& services)
      : SheetModel(SheetClass::Common, callString, services) {}
  QByteArray titleText() const override;

  static constexpr int kMainSettingsSheet = 7;

 protected:
  void setArguments() override;
  void applyDirective(QByteArrayView directive) override;
  void onEvent(const cmcEvent& event) override;
};

// iuiSh_ColCut: after filling, hides the columns that the column-cut test selects.
class ColCutSheetModel : public SheetModel {
 public:
  ColCutSheetModel(QByteArrayView callString, const SheetServices& services)
      : ColCutSheetModel(SheetClass::ColCut, callString, services) {}

  // Whether the cell's column is to be hidden. This class hides none.
  virtual bool columnCutSelects(const cmcCellObj& /*cell*/) const { return false; }

 protected:
  ColCutSheetModel(SheetClass sheetClass, QByteArrayView callString,
                   const SheetServices& services)
      : SheetModel(sheetClass, callString, services) {}
  void fillLayout() override;

 private:
  void cutColumns();
};

// iuiSh_ColCut_A: the channel pages. Reads the index offset; titled by sheet number; printable
// only when its channels include one in use; hides the debug reference columns and, without
// marine channels, the marine-use column. Answers asked events 44, 45 and 46.
class ChannelSheetModel : public ColCutSheetModel {
 public:
  ChannelSheetModel(QByteArrayView callString, const SheetServices& services)
      : ColCutSheetModel(SheetClass::Channel, callString, services) {}
  QByteArray titleText() const override;
  bool isPrintable() const override;
  bool columnCutSelects(const cmcCellObj& cell) const override;

 protected:
  void setArguments() override;
  void onEvent(const cmcEvent& event) override;
};
