#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "files/channelcsv.h"

class Document;
class FieldCatalogue;
class Prompter;
class cmcGTex;

// The channel lists that repeater directories and multi-radio programming tools exchange: CSV
// (RFC 4180, UTF-8, "," between fields, "." in numbers) whose header names the columns
//   Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq,cToneFreq,DtcsCode,DtcsPolarity,Mode,
//   TStep,Skip,Comment,URCALL,RPT1CALL,RPT2CALL
// in any order and letter case, possibly with more columns (CrossMode among them).
//
// A list is imported through the field catalogue, as if every value were typed or chosen on the
// sheet, so the radio's own rules snap, check and fold each of them; what the transceiver cannot
// hold is reported row by row, never dropped silently. What the layout cannot carry: RF power,
// DTMF, name display, duplex reverse, the reverse tone squelch modes (TSQL-R and DTCS-R go out as
// TSQL and DTCS), marine use and the bank.
namespace commonlist {

// The header of the layout, as export writes it (CrossMode, which the list leaves to a
// later column, goes last).
const QStringList& columnNames();

// A list in this layout: its first line names "Location" and "Frequency" (a byte-order mark
// and the letter case do not matter).
bool recognises(const QByteArray& text);

// One row of an imported list.
struct Row {
  int line = 0;          // line of the file where the row starts (the header is line 1)
  QString location;      // as written
  int channel = -1;      // the group's channel number (0..) it went to; -1: not taken
  QStringList notes;     // why it was not taken, or what the transceiver's rules changed
};

struct ImportReport {
  bool recognised = false;  // false: no "Location" or "Frequency" column; nothing changed
  int taken = 0;
  int rows = 0;
  std::vector<Row> entries;  // every row, in Location order
  QStringList general;       // about the whole list (comments that have no place)
  // The report shown to the user: the count, then each row with its line number.
  QString text(ChannelGroup group) const;
};

// How a channel of the group is called in reports: "5", "105", "1A", "CALL".
QString channelLabel(ChannelGroup group, int number);

// The group's channels in this layout, one row per channel in use, CR LF line ends.
QByteArray exportText(const Document& document, ChannelGroup group);

// Clears the group (channels not in use; the call channel back to its default) and puts the
// rows in, sorted by Location, on consecutive channels from the group's first. Nothing changes
// when the header is not this layout's.
ImportReport importText(const QByteArray& text, ChannelGroup group, Document& document,
                        FieldCatalogue& catalogue);

// Writes the group to `path` through a temporary file that replaces it only when complete. A
// failure is shown as the program's own export failures are ("File error." and "Cannot open the
// file." or "Cannot access the file."; nothing is shown without a prompter and text).
bool exportFile(const QString& path, const Document& document, ChannelGroup group,
                Prompter* prompter, cmcGTex* text);

}  // namespace commonlist
