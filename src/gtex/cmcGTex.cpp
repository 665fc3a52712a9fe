#include "gtex/cmcGTex.h"

#include <cstring>

#include "base/fatal.h"
#include "base/textcodec.h"

namespace {
constexpr const char* kEndOfText = "End_Of_Ovl";

bool isHeader(const char* line) { return line[0] == '#' && line[1] != '\0' && line[1] != '\n'; }

// Header text after '#', up to the end of the line.
QByteArray headerName(const char* line) {
  const char* name = line + 1;
  const char* end = name;
  while (*end && *end != '\n') ++end;
  return QByteArray(name, static_cast<int>(end - name));
}

bool sameName(const QByteArray& a, const char* b) {
  const size_t length = std::strlen(b);
  return static_cast<size_t>(a.size()) == length && std::memcmp(a.constData(), b, length) == 0;
}

QByteArray copyLine(const char* line) {
  int n = 0;
  while (n < cmcGTex::kMaxLineLength && line[n] && line[n] != '\n') ++n;
  return QByteArray(line, n);
}
}  // namespace

bool cmcGTex::setSource(const char* const* lines, int count) {
  if (lines_ || !lines || count < 0) return false;
  lines_ = lines;
  count_ = count;
  scanPosition_ = 0;
  scanning_ = true;
  return true;
}

void cmcGTex::reset() {
  index_.clear();
  tail_ = index_.before_begin();
  sectionCount_ = 0;
  scanPosition_ = 0;
  scanning_ = false;
  lines_ = nullptr;
  count_ = 0;
}

const char* cmcGTex::rawLine(int index) const {
  const char* line = lines_[index];
  return line ? line : "";
}

void cmcGTex::notFound(const char* name) {
  fatalError(QStringLiteral("GTEX Error !\nThe index '%1' was not found.").arg(fromCp932(name)));
}

cmcGTex::SectionEntry* cmcGTex::find(const char* name) {
  int position = 0;
  for (auto prev = index_.before_begin(), it = index_.begin(); it != index_.end();
       prev = it++, ++position) {
    if (!sameName(it->name, name)) continue;
    if (position > kMoveToFrontAfter) {
      // The index is searched linearly; names asked for often should not stay deep in it.
      if (tail_ == it) tail_ = prev;
      index_.splice_after(index_.before_begin(), index_, prev);
      return &index_.front();
    }
    return &*it;
  }
  while (scanning_) {
    if (scanPosition_ >= count_) {
      scanning_ = false;
      break;
    }
    const char* line = rawLine(scanPosition_++);
    if (!isHeader(line)) continue;
    tail_ =
        index_.insert_after(tail_, SectionEntry{headerName(line), scanPosition_, 0, scanPosition_});
    ++sectionCount_;
    // The end marker stops scanning even when it is itself the name asked for.
    if (tail_->name == kEndOfText) scanning_ = false;
    if (sameName(tail_->name, name)) return &*tail_;
  }
  return nullptr;
}

int cmcGTex::indexPositionOf(const char* name) const {
  int position = 0;
  for (const SectionEntry& e : index_) {
    if (sameName(e.name, name)) return position;
    ++position;
  }
  return -1;
}

bool cmcGTex::hasSection(const char* name) { return lines_ && find(name) != nullptr; }

QString cmcGTex::lineText(const char* name, int n) { return fromCp932(getLine(name, n)); }

QByteArray cmcGTex::getLine(const char* name, int n) {
  SectionEntry* entry = lines_ ? find(name) : nullptr;
  if (!entry || n < 0) notFound(name);
  int lineNumber = entry->cursorLine;
  int position = entry->cursorPosition;
  if (n < lineNumber) {
    lineNumber = 0;
    position = entry->start;
  }
  position += n - lineNumber;
  if (position >= count_) notFound(name);
  entry->cursorLine = n + 1;
  entry->cursorPosition = position + 1;
  return copyLine(rawLine(position));
}

QByteArray cmcGTex::getSectionText(const char* name) {
  SectionEntry* entry = lines_ ? find(name) : nullptr;
  if (!entry) notFound(name);
  QByteArray text;
  for (int position = entry->start; position < count_; ++position) {
    const char* line = rawLine(position);
    if (line[0] == '#') break;
    if (position > entry->start) text += '\n';
    text += copyLine(line);
  }
  return text;
}
