#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

#include "cliargs.h"
#include "cliprompter.h"
#include "gtex/cmcGTex.h"
#include "model/appcommands.h"
#include "model/version.h"
#include "session/Workspace.h"

class FileCommands;

// Saves the document as File Save does (the warning check, the image fitted to the destination,
// channels it cannot transmit on dropped), through a temporary file, with Ctrl+C held back
// meanwhile; the path may be one that is not UTF-8.
Status saveDocument(FileCommands& files, const QString& path);

// One run of the tool: the resource text, the document, the catalogue and the sheets, and the
// application commands as a command-line tool can offer them.
class Session : public AppCommands {
 public:
  explicit Session(const CliOptions& options);

  // Opens the file, or the factory image of the destination.
  Status load();
  // Saves to -o, or back to the file with --in-place; nothing when neither was asked for.
  Status saveIfAsked();

  // A page by alias ("memory", "f1-common", ...) or by call string. Null with a reason when
  // there is no such page.
  std::unique_ptr<SheetModel> buildSheet(const QString& nameOrCall, Status& status);
  static QStringList sheetAliases();
  // The alias of a call string, or empty.
  static QString aliasOf(const QByteArray& callString);

  // A display request for one cell, as the painter makes it.
  void display(const SheetModel& sheet, int column, int row, cmcCellCapsule& request);
  // A request as the grid makes it for the current cell.
  void prepareEdit(const SheetModel& sheet, int column, int row, cmcCellCapsule& request);

  const CliOptions& options() const { return options_; }
  Document& document() { return workspace_.document(); }
  FieldCatalogue& catalogue() { return workspace_.catalogue(); }
  cmcGTex& text() { return workspace_.text(); }
  cmcCellParser& parser() { return workspace_.parser(); }
  const SheetEnvironment& environment() { return workspace_.environment(); }
  bool modifiedByCommand() const { return changes_ > 0; }

  // --- AppCommands: a command-line run has none of the roles (no menus, tree or dialogs) -----
  QByteArray versionText() const override { return version_.version; }
  QByteArray yearText() const override { return version_.year; }
  void dataChanged() override { ++changes_; }

 private:
  CliOptions options_;
  CliPrompter prompter_;
  Workspace workspace_;
  VersionTexts version_;
  int changes_ = 0;
};
