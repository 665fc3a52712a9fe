#pragma once

#include <QByteArray>
#include <QString>
#include <forward_list>

// Reader over one resource text: an array of code page 932 lines in which a line "#<name>"
// opens the section <name>. Sections are indexed lazily, one header at a time, as names are
// asked for; a section named End_Of_Ovl ends the text. Reading the lines of one section in
// order costs one step per line thanks to a per-section cursor.
//
// Asking for a section that does not exist, or for a line past the end of the text, is a fault
// of the program's own data: it shows "GTEX Error !\nThe index '<name>' was not found." and
// ends the program. hasSection() is the non-fatal probe.
class cmcGTex {
 public:
  cmcGTex() = default;
  virtual ~cmcGTex() = default;
  cmcGTex(const cmcGTex&) = delete;
  cmcGTex& operator=(const cmcGTex&) = delete;

  // Attaches the line table (which must outlive the reader). Refused while one is attached.
  bool setSource(const char* const* lines, int count);
  // Forgets the source, the index and every cursor.
  void reset();

  // Line n (from 0) of the section, cut at 8,191 bytes and at its first line feed. Lines past
  // a section's content are the lines that follow it ("#" or the next header).
  QByteArray getLine(const char* name, int n);
  QByteArray getValue(const char* name) { return getLine(name, 0); }
  // The same line as text to show (the resource text is code page 932).
  QString lineText(const char* name, int n = 0);
  // The section's lines joined with "\n", up to the first non-empty line beginning with '#'.
  QByteArray getSectionText(const char* name);
  bool hasSection(const char* name);

  bool hasSource() const { return lines_ != nullptr; }

  // Introspection for tests and benchmarks.
  int scanPosition() const { return scanPosition_; }
  int sectionCount() const { return sectionCount_; }
  // Index of `name` in the section index (0 = head), -1 when not indexed; scans nothing.
  int indexPositionOf(const char* name) const;

  static constexpr int kMaxLineLength = 8191;
  static constexpr int kMoveToFrontAfter = 10;

 private:
  struct SectionEntry {
    QByteArray name;
    int start = 0;           // table index of line 0
    int cursorLine = 0;      // section line the next sequential read returns
    int cursorPosition = 0;  // table index of that line
  };

  SectionEntry* find(const char* name);
  const char* rawLine(int index) const;
  [[noreturn]] static void notFound(const char* name);

  const char* const* lines_ = nullptr;
  int count_ = 0;
  std::forward_list<SectionEntry> index_;
  std::forward_list<SectionEntry>::iterator tail_ = index_.before_begin();
  int sectionCount_ = 0;
  int scanPosition_ = 0;
  bool scanning_ = false;
};

// Reader of the help-topic map text; the same design as the main reader.
class cmcHelpGTex : public cmcGTex {};
