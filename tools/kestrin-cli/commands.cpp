#include "commands.h"

#include <cstdio>

#include "base/textcodec.h"
#include "gtex/celllinks.h"
#include "model/editor_values.h"
#include "model/editors.h"
#include "sheettable.h"

namespace {

// "Operating\nFreq" and "operating freq" are the same header.
QString normalised(const QString& text) {
  QString out;
  for (QChar c : text) {
    if (!c.isSpace()) out += c.toLower();
  }
  return out;
}

// The label a row is known by: the first text in its fixed columns.
QString rowLabel(Session& session, const SheetModel& sheet, int row) {
  for (int column = 0; column < std::max(sheet.fixedCols(), 1); ++column) {
    const QString text = shownCellText(session, sheet, column, row).trimmed();
    if (!text.isEmpty()) return text;
  }
  return {};
}

bool rowIsEditable(const SheetModel& sheet, int row) {
  for (int column = 0; column < sheet.columnCount(); ++column) {
    if (sheet.isSelectable(column, row)) return true;
  }
  return false;
}

// ROW is a row's label ("5", "1A", "C", "Beep"), else the number of an editable row from 0.
int findRow(Session& session, const SheetModel& sheet, const QString& wanted, Status& status) {
  std::vector<int> editable;
  for (int row = sheet.fixedRows(); row < sheet.rowCount(); ++row) {
    if (rowIsEditable(sheet, row)) editable.push_back(row);
  }
  for (int row : editable) {
    if (normalised(rowLabel(session, sheet, row)) == normalised(wanted)) return row;
  }
  bool number = false;
  const int n = wanted.toInt(&number);
  if (number && n >= 0 && n < int(editable.size())) return editable[size_t(n)];
  status = Status::failed(QString("no row \"%1\" on this sheet").arg(wanted));
  return -1;
}

// COLUMN is a header text, a link name (with or without "CL_") or "-" for the row's only
// editable cell.
int findColumn(const SheetModel& sheet, int row, const QString& wanted, Status& status) {
  const int header = headerRow(sheet);
  std::vector<int> linked;
  for (int column = 0; column < sheet.columnCount(); ++column) {
    const cmcCellObj& cell = sheet.cellAt(column, row);
    if (cell.link == CL_None || !sheet.isSelectable(column, row)) continue;
    linked.push_back(column);
    const QString link = linkName(cell.link);
    if (link.compare(wanted, Qt::CaseInsensitive) == 0 ||
        link.mid(3).compare(wanted, Qt::CaseInsensitive) == 0) {
      return column;
    }
    if (header >= 0) {
      const cmcCellObj& head = sheet.cellAt(column, header);
      if (normalised(fromCp932(head.text.value_or(QByteArray()))) == normalised(wanted)) {
        return column;
      }
    }
  }
  if (wanted == "-" && linked.size() == 1) return linked.front();
  QStringList names;
  for (int column : linked) names << linkName(sheet.cellAt(column, row).link);
  status = Status::failed(
      QString("no column \"%1\" in this row (try: %2)").arg(wanted, names.join(", ")));
  return -1;
}

int keyOf(const QString& name) {
  const QString k = name.toLower();
  if (k == "space") return kKeySpace;
  if (k == "backspace") return kKeyBackspace;
  if (k == "enter") return kKeyEnter;
  if (k == "edit" || k == "f2") return kKeyEdit;
  return -1;
}

// The choices of the list the probe opened: each item cell with the texts it may be chosen by.
struct Choice {
  cmcCellObj cell;
  QStringList names;
};
std::vector<Choice> listChoices(Session& session, const cmcCellCapsule& probe) {
  QList<QByteArray> lines = probe.popup.cellLines;
  if (lines.isEmpty()) {
    const QByteArray section = probe.popup.listName + "_Cells";
    for (int n = 0;; ++n) {
      const QByteArray line = session.text().getLine(section.constData(), n);
      if (line.startsWith('#')) break;
      lines << line;
    }
  }
  std::vector<Choice> choices;
  CellVariables scratch{};
  for (const QByteArray& line : lines) {
    QByteArrayView rest = line;
    while (!rest.isEmpty()) {
      Choice choice;
      rest = session.parser().parseCell(choice.cell, rest, nullptr, &scratch);
      if (choice.cell.link != probe.popup.keyLink) continue;
      cmcCellCapsule item;  // shown as the list paints it
      item.cell = &choice.cell;
      item.parent = &probe;
      item.paint.active = true;
      session.catalogue().dispatch(item, false);
      choice.names << fromCp932(item.resultText).trimmed();
      if (choice.cell.argument) choice.names << fromCp932(*choice.cell.argument).trimmed();
      choice.names.removeAll(QString());
      choices.push_back(std::move(choice));
    }
  }
  return choices;
}

QString describeChoices(const std::vector<Choice>& choices) {
  QStringList names;
  for (const Choice& c : choices)
    names << (c.names.isEmpty() ? QString("(empty)") : c.names.first());
  return names.join(", ");
}

// A typed text for a cell: the entry takes it as the in-place editor hands it over; a list cell
// takes the choice of that name, as the drop-down list does; the bank-link pattern takes its
// letters, as the flag-bits dialog does.
Status enterText(Session& session, const SheetModel& sheet, int column, int row,
                 const QString& typed) {
  cmcCellCapsule probe;
  session.prepareEdit(sheet, column, row, probe);
  probe.key = kKeyEnter;
  const int opened = session.catalogue().dispatch(probe, true);
  if (probe.jump.requested) {
    return Status::failed("the channel is empty: give it a frequency first");
  }

  cmcCellCapsule request;
  session.prepareEdit(sheet, column, row, request);
  if (opened == kDispatchListOpened && probe.popup.kind == kPopupList) {
    const std::vector<Choice> choices = listChoices(session, probe);
    for (const Choice& choice : choices) {
      if (!choice.names.contains(typed.trimmed(), Qt::CaseInsensitive)) continue;
      cmcCellCapsule chosen;
      chosen.cell = &choice.cell;
      request.parent = &chosen;
      request.operation = kOpChoiceMade;
      session.catalogue().dispatch(request, true);
      return {};
    }
    // Tone frequencies and codes also take a typed number.
    request.operation = kOpTextEntered;
    request.typedText = toCp932(typed);
    cmcCellCapsule shown;
    session.display(sheet, column, row, shown);
    const QByteArray old = shown.resultText;
    session.catalogue().dispatch(request, true);
    cmcCellCapsule after;
    session.display(sheet, column, row, after);
    if (after.resultText != old || session.modifiedByCommand()) return {};
    return Status::failed(QString("\"%1\" is not one of: %2").arg(typed, describeChoices(choices)));
  }
  if (opened == kDispatchListOpened && probe.popup.kind == kPopupFlagBits) {
    uint32_t pattern = 0;
    const int width = bitPatternWidth(probe.popup.first, probe.popup.last);
    for (QChar c : typed.toUpper()) {
      const int position = c.unicode() - 'A';
      if (position >= 0 && position < width) pattern |= 1u << (width - 1 - position);
    }
    cmcCellObj dialog;
    dialog.link = CL_FBits;
    cmcCellCapsule chosen;
    chosen.cell = &dialog;
    request.parent = &chosen;
    request.operation = kOpChoiceMade;
    request.typedText =
        QByteArray::number(flagBitsWord(pattern, probe.popup.first, probe.popup.last));
    session.catalogue().dispatch(request, true);
    return {};
  }
  if (opened == kDispatchOpenEditor) {
    request.operation = kOpTextEntered;
    request.typedText = toCp932(typed);
    session.catalogue().dispatch(request, true);
    return {};
  }
  return Status::failed("this cell cannot be edited");
}

// A key on the cell, as the grid passes it on (and on to the frequency cell of an empty channel).
Status pressKey(Session& session, const SheetModel& sheet, int column, int row, int key) {
  cmcCellCapsule request;
  session.prepareEdit(sheet, column, row, request);
  request.key = key;
  int result = session.catalogue().dispatch(request, true);
  if (request.jump.requested) {
    const SheetPos target =
        sheet.findSelectableCell(request.jump.category, request.jump.link, request.jump.index);
    if (!target.valid() || target.row != row) return Status::failed("no cell to pass the key to");
    cmcCellCapsule replay;
    session.prepareEdit(sheet, target.column, target.row, replay);
    replay.key = request.jump.key;
    result = session.catalogue().dispatch(replay, true);
    request.popup = replay.popup;
    request.resultText = replay.resultText;
    std::printf("key passed to %s\n", linkName(request.jump.link));
  }
  if (result == kDispatchListOpened && request.popup.kind == kPopupList) {
    std::printf("opens a list: %s\n",
                describeChoices(listChoices(session, request)).toUtf8().constData());
  } else if (result == kDispatchListOpened && request.popup.kind == kPopupFlagBits) {
    std::printf("opens the flag dialog\n");
  } else if (result == kDispatchOpenEditor) {
    std::printf("opens the editor with \"%s\"\n",
                fromCp932(request.resultText).toUtf8().constData());
  }
  return {};
}

void printRow(Session& session, const SheetModel& sheet, int row) {
  std::vector<int> rows;
  const int header = headerRow(sheet);
  if (header >= 0) rows.push_back(header);
  rows.push_back(row);
  SheetTable table = tabulate(session, sheet, session.options().tsv, rows);
  table.title.clear();
  printTable(table, session.options().tsv, stdout);
}

// "memory (call string)" for the pages the tool has a name for.
QString pageName(const QByteArray& callString) {
  const QString alias = Session::aliasOf(callString);
  return alias.isEmpty() ? QString::fromUtf8(callString)
                         : QString("%1 (%2)").arg(alias, QString::fromUtf8(callString));
}

}  // namespace

Status showCommand(Session& session) {
  const QStringList& args = session.options().arguments;
  if (args.size() > 1) return Status::usage("show takes at most one sheet");
  Status status = session.load();
  if (!status.ok()) return status;
  auto sheet = session.buildSheet(args.value(0, "memory"), status);
  if (!sheet) return status;
  const SheetTable table = tabulate(session, *sheet, session.options().tsv);
  printTable(table, session.options().tsv, stdout);
  return {};
}

Status editCommand(Session& session) {
  const CliOptions& o = session.options();
  const bool withKey = !o.key.isEmpty();
  if (o.arguments.size() != (withKey ? 3 : 4)) {
    return Status::usage(withKey ? "edit with --key takes SHEET ROW COLUMN"
                                 : "edit takes SHEET ROW COLUMN TEXT");
  }
  if (o.inPlace && o.file.isEmpty()) return Status::usage("--in-place needs a .qev file");
  const int key = withKey ? keyOf(o.key) : 0;
  if (key < 0)
    return Status::usage(QString("unknown key \"%1\" (space, backspace, enter, edit)").arg(o.key));

  Status status = session.load();
  if (!status.ok()) return status;
  auto sheet = session.buildSheet(o.arguments[0], status);
  if (!sheet) return status;
  const int row = findRow(session, *sheet, o.arguments[1], status);
  if (row < 0) return status;
  const int column = findColumn(*sheet, row, o.arguments[2], status);
  if (column < 0) return status;

  status = withKey ? pressKey(session, *sheet, column, row, key)
                   : enterText(session, *sheet, column, row, o.arguments[3]);
  if (!status.ok()) return status;
  printRow(session, *sheet, row);
  return session.saveIfAsked();
}

Status checkCommand(Session& session) {
  if (!session.options().arguments.isEmpty()) return Status::usage("check takes no arguments");
  Status status = session.load();
  if (!status.ok()) return status;
  const WarningCheckResult result = runWarningCheck(session.catalogue(), session.text());
  std::printf("errors: %d\nwarnings: %d\n", result.errors, result.warnings);
  for (const QByteArray& page : result.errorPages) {
    std::printf("error    %s\n", pageName(page).toUtf8().constData());
  }
  for (const QByteArray& page : result.warningPages) {
    std::printf("warning  %s\n", pageName(page).toUtf8().constData());
  }
  return {};
}
