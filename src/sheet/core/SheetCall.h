#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The sheet classes. Each call string picks one by its state; the names are the classes' own.
enum class SheetClass : int {
  Plain = 0,    // cuiSheet
  Common = 1,   // iuiSh_Common: common settings (main and function memories)
  ColCut = 2,   // iuiSh_ColCut: hides columns after filling (its own test hides none)
  Channel = 3,  // iuiSh_ColCut_A: channel pages
};

// "cuiSheet", "iuiSh_Common", "iuiSh_ColCut" or "iuiSh_ColCut_A".
const char* sheetClassName(SheetClass sheetClass);

// A request for a sheet: "[state]Name,arguments", as the navigation tree hands it over.
struct SheetCall {
  QByteArray callString;  // kept whole: the widths key is derived from it
  QByteArray state;       // between the brackets, empty when there are none
  QByteArray name;        // stem of the _Style, _BasicCell and _Cells sections
  QByteArray arguments;   // everything after the first comma

  static SheetCall parse(QByteArrayView callString);

  // St_Common gives the common-settings sheet, St_ColCut the channel sheet, anything else
  // (including St_CCBank, St_ChGps, St_PLink, St_RptList) the plain sheet.
  SheetClass sheetClass() const;

  // The n-th (from 0) comma-separated field of the arguments read as a decimal number, or
  // `absent` when there is no such field or it holds no number.
  int argumentNumber(int n, int absent) const;
  // A decimal number at the start of `text` (after blanks), or `absent` when there is none.
  static int leadingNumber(QByteArrayView text, int absent);
};
