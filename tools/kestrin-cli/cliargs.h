#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// What every command of the tool shares: its result and exit codes, the reader of its
// arguments, and the values its options take.

// Exit codes of the tool.
enum ExitCode : int {
  kExitOk = 0,
  kExitFailed = 1,  // the command could not be done (file error, no such cell, ...)
  kExitUsage = 2,   // the command line is wrong
};

// What a command answers: an exit code and, when the command did not succeed, a one-line reason
// for the last line on stderr (empty when the command has said it already).
struct Status {
  int code = kExitOk;
  QString reason;
  bool ok() const { return code == kExitOk; }
  static Status failed(const QString& why) { return {kExitFailed, why}; }
  static Status usage(const QString& why) { return {kExitUsage, why}; }
};

// Prints the reason of a status as "<who>: <reason>" on stderr; the exit code.
int finish(const Status& status, const char* who = "kestrin-cli");

// Walks a command's arguments one by one: options, their values and the rest.
class ArgReader {
 public:
  explicit ArgReader(const QStringList& args) : args_(args) {}

  // Steps to the next argument; false after the last.
  bool next() { return ++at_ < args_.size(); }
  const QString& current() const { return args_[at_]; }
  // Whether the current argument is the option `name`; with `joined`, also "name=VALUE".
  bool is(const QString& name, bool joined = false) const;
  // The current option's value: what follows "=", else the next argument (stepped over);
  // nothing when no argument follows.
  std::optional<QString> value();

 private:
  QStringList args_;
  qsizetype at_ = -1;
};

// The parsed command line of the commands on a document (show, edit, check and the file
// commands).
struct CliOptions {
  QString command;
  QStringList arguments;      // the command's own positional arguments
  QString file;               // a .qev file to work on, or empty for a factory image
  int destination = -1;       // --destination; -1: the file's, or 0 without a file
  uint8_t optionBits = 0x0F;  // --options: all four by default
  bool yes = false;
  bool tsv = false;
  QString output;  // -o
  bool inPlace = false;
  QString key;     // --key for edit
  QString layout;  // --layout for export
};

// A destination given as its number (0..15) or its name, any letter case; -1 when neither.
int parseDestination(const QString& text);

// Comma-separated radio options ("all", "none", "marine", "fm-narrow", "rx-expansion",
// "high-power") as option bits; false on an unknown word.
bool parseOptions(const QString& text, uint8_t& bits);
