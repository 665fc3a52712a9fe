#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

#include "base/prompter.h"
#include "files/CommonChannelList.h"
#include "files/channelcsv.h"

class Workspace;

// The channel group a sheet shows, by its call string: the two memory-channel pages, the scan
// edges and the call channel. Every other sheet has none, and Import and Export are off there.
std::optional<ChannelGroup> channelGroupOfSheet(const QByteArray& callString);

// The file name the export dialog offers for a group ("Memory CH 100-199.csv").
QString proposedExportName(ChannelGroup group, const QString& extension);

// The "File error." boxes of one command name the file they are about, below their own text:
// the user may have picked a file other than the one they meant.
class FileNamingPrompter : public Prompter {
 public:
  FileNamingPrompter(Prompter& inner, const QString& headline)
      : inner_(inner), headline_(headline) {}
  void setPath(const QString& path);
  PromptAnswer ask(const PromptMessage& message) override;

 private:
  Prompter& inner_;
  QString headline_;
  QString path_;
};

// The two layouts of a channel list: the program's own, and the common one of repeater
// directories and other programs.
enum class ChannelListLayout { Own, Common };

// What an import did.
struct ChannelListImport {
  bool done = false;    // the list was read (own layout) or recognised (common layout)
  bool common = false;  // the list is in the common layout; `report` tells each row
  commonlist::ImportReport report;
  CsvImportResult counts;  // own layout: channels taken, read as blank, corrected
  // A common list from which no row came.
  bool noData() const { return common && report.taken == 0 && report.rows == 0; }
};

// File > Import and File > Export over a workspace's document, for every front end: the
// confirmation, the layout told by a list's header, the reader and writer of each layout.
// Messages go to the prompter given; what is reported afterwards is the front end's.
class ChannelListCommands {
 public:
  ChannelListCommands(Workspace& workspace, Prompter& prompter, CsvSeparators separators);

  // The group in a layout, as a file of it holds it.
  QByteArray exportText(ChannelGroup group, ChannelListLayout layout) const;
  // Writes the group to `path`; a failure is shown through the prompter.
  bool exportFile(const QString& path, ChannelGroup group, ChannelListLayout layout);

  // The question before a sheet's group is replaced: true to go on.
  bool confirmImport();
  // Clears the group and reads the list at `path` into it. `changed` runs once the image was
  // rewritten (the document is already marked modified), before the import returns.
  ChannelListImport importFile(const QString& path, ChannelGroup group,
                               const std::function<void()>& changed = {});

 private:
  ChannelCsv csv() const;

  Workspace& workspace_;
  Prompter& prompter_;
  CsvSeparators separators_;
};
