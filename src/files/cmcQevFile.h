#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class cmcEeprom;
class cmcGTex;
class Prompter;
class SafeFileWriter;

// An inclusive pair of image addresses. A range list ends at its end or at the first pair whose
// first exceeds its last (callers coming from tables may still write the (1, 0) end marker).
struct AddressRange {
  int first;
  int last;
};
using AddressRanges = std::vector<AddressRange>;

// File result codes: returned by Write, Read and CheckCoverage, shown by ShowFileError.
enum QevResult : int {
  kQevOk = 0,
  kQevFileOpen = 1,    // cannot open or create the file
  kQevFileAccess = 2,  // a write failed
  kQevModel = 3,       // model code differs
  kQevExtra = 4,       // sub code differs
  kQevMapRev = 5,      // MapRev not accepted
  kQevFormat = 6,      // malformed model line or data line
  kQevCoverage = 7,    // required addresses missing
  kQevData = 8,        // address outside the image or outside the required ranges
  kQevNewer = 9,       // made by a newer program
  kQevEtcData = 10,    // EtcData not accepted
};

// What this program's File commands use.
inline constexpr int kQevModelCode = 0x3251;
inline constexpr int kQevSubCode = 0x0004;
inline constexpr int kQevBytesPerLine = 32;
inline constexpr int kQevMapRevValue = 1;
inline constexpr char kQevSalt[] = "807416253940";
// The transceiver's memory: the part of the image that files and clones carry.
inline const AddressRanges& qevCloneRanges() {
  static const AddressRanges ranges{{0x0000, 0x189F}};
  return ranges;
}

// Writes the clone data of a memory image as a QEV text file and reads it back. Created per
// command, configured, used for one Write or Read, then dropped.
class cmcQevFile {
 public:
  using MapRevHook = std::function<bool(int mapRev)>;
  // Decodes EtcData into a destination code; false rejects the file.
  using EtcDataHook = std::function<bool(int etcData, int& destination)>;

  cmcQevFile();
  ~cmcQevFile();

  // Binds the image (not owned) and sizes both address maps to it; the required map starts as
  // the whole image.
  void Configure(cmcEeprom& image);

  void setFormatVersion(int version) { formatVersion_ = version; }
  void setModelCode(int code) { modelCode_ = code & 0xFFFF; }
  void setSubCode(int code) { subCode_ = code & 0xFFFF; }
  void setComment(const QByteArray& comment) { comment_ = comment; }
  void setBytesPerLine(int n) { bytesPerLine_ = n; }
  void setDigestOn(bool on) { digestOn_ = on; }
  void setSalt(const QByteArray& twelveHexDigits) { salt_ = twelveHexDigits; }
  void setMapRev(int value) { mapRev_ = value; }
  void setEtcData(int value) { etcData_ = value & 0xFFFFFF; }
  void setMapRevHook(MapRevHook hook) { mapRevHook_ = std::move(hook); }
  void setEtcDataHook(EtcDataHook hook) { etcDataHook_ = std::move(hook); }
  // Where Write, Read and ShowFileError show their messages (neither owned). Without them
  // nothing is shown and the caller goes by the result code alone.
  void setMessages(Prompter* prompter, cmcGTex* text) {
    prompter_ = prompter;
    text_ = text;
  }
  int mapRev() const { return mapRev_; }
  int etcData() const { return etcData_; }
  int destination() const { return destination_; }

  // Writes the ranges' bytes through a temporary file that replaces `path` only when complete.
  int Write(const QString& path, const AddressRanges& ranges);
  // The same through a writer made for the target (not yet open), e.g. one that writes through
  // a device of the caller's.
  int Write(SafeFileWriter& out, const AddressRanges& ranges);
  // Reads `path` into the image. The image changes only when the result is 0.
  int Read(const QString& path);
  // As above, then checks that exactly the ranges were supplied.
  int Read(const QString& path, const AddressRanges& ranges);
  // 0: the file supplied exactly the ranges; 7: something is missing; 8: something extra.
  int CheckCoverage(const AddressRanges& ranges);
  // "File error." and the code's text in a warning box; nothing for 0 or unknown codes.
  void ShowFileError(int code) const;
  static void ShowFileError(Prompter& prompter, cmcGTex& text, int code);

 private:
  int readInto(const QString& path, cmcEeprom& target);
  void markRanges(std::vector<uint8_t>& map, const AddressRanges& ranges) const;
  bool rangePairUsable(const AddressRange& r) const;

  int formatVersion_ = 1;
  cmcEeprom* image_ = nullptr;
  int modelCode_ = 0;
  int subCode_ = 0;
  QByteArray comment_;
  int bytesPerLine_ = 16;
  bool digestOn_ = false;
  QByteArray salt_;
  int mapRev_ = -1;
  int etcData_ = 0;
  std::vector<uint8_t> requiredMap_;
  std::vector<uint8_t> loadedMap_;
  MapRevHook mapRevHook_;
  EtcDataHook etcDataHook_;
  Prompter* prompter_ = nullptr;
  cmcGTex* text_ = nullptr;
  int destination_ = 0;
};
