#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

#include "model/DestinationOptions.h"

class cmcEeprom;
class cmcGTex;
class Prompter;
class SafeFileWriter;

// The channel groups that can be exported and imported: the channels of one sheet.
enum class ChannelGroup { Memory0, Memory1, ScanEdges, Call };

struct ChannelGroupRange {
  int first;  // conventional channel index of channel number 0
  int size;
};
ChannelGroupRange groupRange(ChannelGroup group);

// Decimal character and column separator of channel list files, from the regional settings.
struct CsvSeparators {
  char decimal = '.';
  char list = ',';

  // The decimal character is the system's when it is "." or ",", else "."; the list separator
  // the system's when it is "," or ";", else ","; and ";" when it would equal the decimal one.
  static CsvSeparators resolve(const QString& systemDecimal, const QString& systemList);
  // The operating system's regional settings (read once at start-up by the application).
  static CsvSeparators fromSystem();
};

// Text conversions of the channel list columns. Table lookups give kNotFound for a text that
// is not in the column's table; numbers give -1 for a text that does not convert.
namespace csvtext {
inline constexpr int kNotFound = 0xFFFF;

enum Column {
  kChNo,
  kFrequency,
  kDup,
  kDupReverse,
  kOffset,
  kTxInhibit,
  kStep,
  kMode,
  kNameDisp,
  kName,
  kSkip,
  kPower,
  kToneMode,
  kRepeaterTone,
  kTsqlFrequency,
  kDtcsCode,
  kDtcsPolarity,
  kDtmf,
  kBank,  // written after the others; a list without it leaves the bank as the template has it
  kColumnCount
};
// The exact header name of each column.
const char* columnName(int column);

// Hz as MHz with six decimals: 145000000 gives "145.000000" (or "145,000000").
QByteArray frequencyText(uint32_t hz, char decimal);
// MHz text to Hz, rounded half up; -1 when the text is not a number, 0 when out of range. "."
// and "," are both read as the decimal character.
int64_t frequencyValue(const QByteArray& text, char decimal);

// Value to text for the table columns (kDup .. kDtmf except kOffset and kName); "NOT_FOUND"
// for a value that is not in the table.
QByteArray tableText(int column, int value, char decimal);
// Text to value: trimmed, compared without regard to case; kNotFound when nothing matches.
int tableValue(int column, const QByteArray& text);
}  // namespace csvtext

// Counts of one import.
struct CsvImportResult {
  bool headerOk = false;   // false: the file lacked "CH No" or "Frequency", or was oversized;
                           // nothing changed
  bool oversized = false;  // larger than any channel list, or with a line far too long
  int imported = 0;        // lines stored (blank-frequency lines of memory and scan edges excluded)
  int discarded = 0;       // lines stored blank because their frequency was not valid
  int corrected = 0;       // lines with at least one repaired value
};

// Exports and imports the channels of one group of a working image. Templates and the default
// call channel come from the default image (the factory image of the current destination).
class ChannelCsv {
 public:
  ChannelCsv(cmcEeprom& working, const cmcEeprom& defaults, const DestinationOptions& options,
             const CsvSeparators& separators);

  // The file contents, header and one line per channel, CR LF line ends.
  QByteArray exportText(ChannelGroup group) const;
  // Clears the group and imports the lines of `text`; changes nothing when the header lacks
  // a required column.
  CsvImportResult importText(const QByteArray& text, ChannelGroup group);

  // --- The commands, with their messages (nothing is shown without a prompter and text). ---
  void setMessages(Prompter* prompter, cmcGTex* text) {
    prompter_ = prompter;
    text_ = text;
  }
  // Writes through a temporary file that replaces `path` only when complete. False after a
  // failure, which has been shown ("Cannot open the file." or "Cannot access the file.").
  bool ExportChannels(const QString& path, ChannelGroup group);
  // The same through a writer made for the target (not yet open).
  bool ExportChannels(SafeFileWriter& out, ChannelGroup group);
  // "Import from the file." / "Current sheet will be cleared." / "Are you sure?": true on OK.
  bool ConfirmImport();
  // Reads `path` and imports it, calls `refresh` (the sheet is reopened) once the group has
  // been rewritten, then reports. False when the file could not be read or its header was
  // rejected (shown; nothing changed). `counts`, when given, receives the counts behind the
  // messages.
  bool ImportChannels(const QString& path, ChannelGroup group,
                      const std::function<void()>& refresh = {}, CsvImportResult* counts = nullptr);

 private:
  cmcEeprom& working_;
  const cmcEeprom& defaults_;
  DestinationOptions options_;
  CsvSeparators separators_;
  Prompter* prompter_ = nullptr;
  cmcGTex* text_ = nullptr;
};
