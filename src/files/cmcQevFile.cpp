#include "files/cmcQevFile.h"

#include <QCryptographicHash>
#include <QFile>

#include "files/inputfile.h"
#include <algorithm>
#include <climits>

#include "files/messages.h"
#include "files/savefile.h"
#include "model/cmcEeprom.h"

namespace {

constexpr char kKeyComment[] = "Comment=";
constexpr char kKeyMapRev[] = "MapRev=";
constexpr char kKeyEtcData[] = "EtcData=";
constexpr char kKeyCheck[] = "CD=";
constexpr char kHexDigits[] = "0123456789ABCDEF";
// Lines are read in pieces of at most this many characters, as a fixed line buffer would.
constexpr int kLineChunk = 767;
constexpr int kMinDataLine = 12;
constexpr int kMaxDataLine = 520;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void appendHex(QByteArray& out, uint32_t value, int digits) {
  for (int i = digits - 1; i >= 0; --i) out.append(kHexDigits[(value >> (4 * i)) & 0xF]);
}

// The salt's hex digits as bytes; a character that is not a hex digit counts as 0.
QByteArray decodeSalt(const QByteArray& salt) {
  QByteArray out;
  for (int i = 0; i + 1 < salt.size(); i += 2) {
    const int hi = hexValue(salt[i]);
    const int lo = hexValue(salt[i + 1]);
    out.append(static_cast<char>(((hi < 0 ? 0 : hi) << 4) | (lo < 0 ? 0 : lo)));
  }
  return out;
}

void setBits(std::vector<uint8_t>& map, int64_t first, int64_t last) {
  if (first < 0 || last < first || last >= static_cast<int64_t>(map.size()) * 8) return;
  for (int64_t a = first; a <= last; ++a)
    map[static_cast<size_t>(a >> 3)] |= uint8_t(1u << (a & 7));
}

// The C library's reading of a decimal or hexadecimal number at the start of a text: leading
// white space, an optional sign, digits up to the first other character; saturates.
long long parseLeadingInteger(const QByteArray& text, int from, int base) {
  int i = from;
  const int n = text.size();
  while (i < n && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (base == 16 && i + 2 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      hexValue(text[i + 2]) >= 0)
    i += 2;
  long long value = 0;
  for (; i < n; ++i) {
    const int d = hexValue(text[i]);
    if (d < 0 || d >= base) break;
    if (value < (LLONG_MAX >> 5)) value = value * base + d;
  }
  return negative ? -value : value;
}

int clampToInt(long long v) {
  return static_cast<int>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
}

// Reads a text file as a C stream in text mode does: CR LF becomes LF, and a line longer than
// the line buffer comes in several pieces. Each piece keeps its LF when it has one.
class LineReader {
 public:
  explicit LineReader(QFile& file) : file_(file) {}

  bool next(QByteArray& line) {
    line.clear();
    while (line.size() < kLineChunk) {
      if (pos_ >= buffer_.size() && !refill()) break;
      // Copy the run of ordinary characters up to a line end or the chunk's end in one go.
      const qsizetype limit = std::min(buffer_.size(), pos_ + (kLineChunk - line.size()));
      qsizetype i = pos_;
      const char* p = buffer_.constData();
      while (i < limit && p[i] != '\n' && p[i] != '\r') ++i;
      line.append(p + pos_, i - pos_);
      pos_ = i;
      if (i == limit) continue;
      const char c = p[pos_];
      if (c == '\r') {
        // Hold a CR until we know whether an LF follows.
        if (pos_ + 1 >= buffer_.size() && !refill(true)) {
          line.append('\r');
          ++pos_;
          continue;
        }
        if (buffer_[pos_ + 1] == '\n') {
          ++pos_;
          continue;
        }
      }
      line.append(c);
      ++pos_;
      if (c == '\n') break;
    }
    return !line.isEmpty();
  }

  // Drops what is left of a line whose first piece has been read, up to and including its LF.
  void skipRestOfLine() {
    for (;;) {
      if (pos_ >= buffer_.size() && !refill()) return;
      const qsizetype lf = buffer_.indexOf('\n', pos_);
      if (lf >= 0) {
        pos_ = lf + 1;
        return;
      }
      pos_ = buffer_.size();
    }
  }

 private:
  // Loads more of the file; with `keep`, the unread rest of the buffer stays in front.
  bool refill(bool keep = false) {
    QByteArray more = file_.read(64 * 1024);
    if (more.isEmpty()) return false;
    buffer_ = keep ? buffer_.mid(pos_) + more : more;
    pos_ = 0;
    return true;
  }

  QFile& file_;
  QByteArray buffer_;
  qsizetype pos_ = 0;
};

}  // namespace

cmcQevFile::cmcQevFile() = default;
cmcQevFile::~cmcQevFile() = default;

void cmcQevFile::Configure(cmcEeprom& image) {
  image_ = &image;
  const size_t bytes = (static_cast<size_t>(image.size()) + 7) / 8;
  requiredMap_.assign(bytes, 0);
  loadedMap_.assign(bytes, 0);
  setBits(requiredMap_, 0, image.size() - 1);
}

bool cmcQevFile::rangePairUsable(const AddressRange& r) const {
  return r.last >= r.first && image_ && image_->isValid(r.first) && image_->isValid(r.last);
}

int cmcQevFile::Write(const QString& path, const AddressRanges& ranges) {
  SafeFileWriter out(path);
  return Write(out, ranges);
}

int cmcQevFile::Write(SafeFileWriter& out, const AddressRanges& ranges) {
  QCryptographicHash digest(QCryptographicHash::Md5);
  digest.addData(decodeSalt(salt_));

  int code = kQevOk;
  if (!image_ || !out.open()) code = kQevFileOpen;

  if (code == kQevOk) {
    QByteArray head;
    appendHex(head, static_cast<uint32_t>(modelCode_), 4);
    appendHex(head, static_cast<uint32_t>(subCode_), 4);
    head += "\r\n";
    if (formatVersion_ >= 1) {
      head += QByteArray("#") + kKeyComment + comment_ + "\r\n";
      head += QByteArray("#") + kKeyMapRev + QByteArray::number(mapRev_) + "\r\n";
    }
    head += QByteArray("#") + kKeyEtcData;
    appendHex(head, static_cast<uint32_t>(etcData_), 6);
    head += "\r\n";
    if (!out.write(head)) code = kQevFileAccess;
  }

  const int perLine = bytesPerLine_ > 0 ? bytesPerLine_ : 16;
  for (size_t r = 0; code == kQevOk && r < ranges.size() && rangePairUsable(ranges[r]); ++r) {
    int a = ranges[r].first;
    while (a <= ranges[r].last) {
      const int n = std::min(perLine - a % perLine, ranges[r].last - a + 1);
      QByteArray raw;
      raw.reserve(5 + n);
      raw.append(char(uint32_t(a) >> 24))
          .append(char(a >> 16))
          .append(char(a >> 8))
          .append(char(a));
      raw.append(static_cast<char>(n));
      raw.append(reinterpret_cast<const char*>(image_->data() + a), n);
      digest.addData(raw);
      QByteArray line = raw.toHex().toUpper();
      line += "\r\n";
      if (!out.write(line)) {
        code = kQevFileAccess;
        break;
      }
      a += n;
    }
  }

  if (code == kQevOk && digestOn_) {
    QByteArray line = QByteArray("#") + kKeyCheck + digest.result().toHex().toUpper() + "\r\n";
    if (!out.write(line)) code = kQevFileAccess;
  }
  if (code == kQevOk && !out.commit()) code = kQevFileAccess;
  if (code != kQevOk) out.cancel();
  ShowFileError(code);
  return code;
}

int cmcQevFile::Read(const QString& path) {
  if (!image_) return kQevFileOpen;
  // Work on a copy: the image is replaced only by a read that passes every check.
  cmcEeprom staged;
  staged.assign(*image_);
  int code = readInto(path, staged);
  if (code == kQevOk) image_->assign(staged);
  ShowFileError(code);
  return code;
}

int cmcQevFile::Read(const QString& path, const AddressRanges& ranges) {
  if (!image_) return kQevFileOpen;
  cmcEeprom staged;
  staged.assign(*image_);
  int code = readInto(path, staged);
  if (code == kQevOk) code = CheckCoverage(ranges);
  if (code == kQevOk) image_->assign(staged);
  ShowFileError(code);
  return code;
}

int cmcQevFile::readInto(const QString& path, cmcEeprom& target) {
  std::fill(loadedMap_.begin(), loadedMap_.end(), 0);
  if (!isRegularFile(path)) return kQevFileOpen;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return kQevFileOpen;
  LineReader reader(file);

  QByteArray line;
  if (!reader.next(line) || line.size() != 9 || line[8] != '\n') return kQevFormat;
  int model = 0;
  int sub = 0;
  for (int i = 0; i < 8; ++i) {
    if (line[i] < '0' || line[i] > '9') return kQevFormat;
    (i < 4 ? model : sub) = (i < 4 ? model : sub) * 16 + (line[i] - '0');
  }
  if (model != modelCode_) {
    destination_ = 0;
    return kQevModel;
  }
  if (sub != subCode_) {
    destination_ = 0;
    return kQevExtra;
  }

  const int mapRevAt = 1 + int(sizeof kKeyMapRev) - 1;
  const int etcDataAt = 1 + int(sizeof kKeyEtcData) - 1;
  bool headerChecked = false;
  while (reader.next(line)) {
    if (line[0] == '#') {
      // A "#" line may be of any length: only its first piece is looked at.
      if (!line.endsWith('\n')) reader.skipRestOfLine();
      // The value is taken right behind "#" and the key, wherever the key was found.
      const QByteArray rest = line.mid(1);
      if (rest.contains(kKeyMapRev))
        mapRev_ = clampToInt(parseLeadingInteger(line, mapRevAt, 10));
      else if (rest.contains(kKeyEtcData))
        etcData_ = clampToInt(parseLeadingInteger(line, etcDataAt, 16));
      continue;
    }
    if (!headerChecked) {
      if (formatVersion_ >= 1 && (!mapRevHook_ || !mapRevHook_(mapRev_))) return kQevMapRev;
      int destination = 0;
      if (!etcDataHook_ || !etcDataHook_(etcData_, destination)) {
        destination_ = 0;
        return kQevEtcData;
      }
      destination_ = destination;
      headerChecked = true;
    }
    line.chop(1);  // the line end, or the last character of a last line without one
    const int len = int(line.size());
    if (len < kMinDataLine || len > kMaxDataLine) return kQevFormat;
    for (char c : line)
      if (hexValue(c) < 0) return kQevFormat;
    int64_t address = 0;
    for (int i = 0; i < 8; ++i) address = address * 16 + hexValue(line[i]);
    const int n = hexValue(line[8]) * 16 + hexValue(line[9]);
    if (len != 10 + 2 * n) return kQevFormat;
    if (address + n > target.size()) return kQevData;
    uint8_t bytes[255];
    for (int i = 0; i < n; ++i)
      bytes[i] = uint8_t(hexValue(line[10 + 2 * i]) * 16 + hexValue(line[11 + 2 * i]));
    target.writeBlock(int(address), bytes, n);
    setBits(loadedMap_, address, address + n - 1);
  }
  return kQevOk;
}

void cmcQevFile::markRanges(std::vector<uint8_t>& map, const AddressRanges& ranges) const {
  for (const AddressRange& r : ranges) {
    if (!rangePairUsable(r)) break;
    setBits(map, r.first, r.last);
  }
}

int cmcQevFile::CheckCoverage(const AddressRanges& ranges) {
  if (!image_ || loadedMap_.empty()) return kQevCoverage;
  std::fill(requiredMap_.begin(), requiredMap_.end(), 0);
  markRanges(requiredMap_, ranges);
  if (loadedMap_ == requiredMap_) return kQevOk;
  for (size_t i = 0; i < loadedMap_.size(); ++i)
    if (loadedMap_[i] & ~requiredMap_[i]) return kQevData;
  return kQevCoverage;
}

void cmcQevFile::ShowFileError(int code) const {
  if (prompter_ && text_) ShowFileError(*prompter_, *text_, code);
}

void cmcQevFile::ShowFileError(Prompter& prompter, cmcGTex& text, int code) {
  if (const char* key = fileErrorKey(code)) showFileErrorBox(prompter, text, key);
}
