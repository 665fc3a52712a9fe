#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class Document;
class FieldCatalogue;
class SheetEnvironment;
class cmcCellParser;
class cmcGTex;

// What `kestrin --print-pdf OUT.pdf [--sheet NAME | --all] [--overwrite] [FILE.qev]` asks for.
struct PrintPdfRequest {
  QString output;
  QString sheet;  // a page's short name or call string; empty: every sheet of the tree
  QString file;   // a clone data file, or empty for the factory image
  bool overwrite = false;  // --overwrite: an existing file that is not a PDF may be replaced
};

// Parses the program's arguments (program name first). Nothing when --print-pdf is not among
// them; otherwise the request, or `error` set to the reason the command line is wrong.
std::optional<PrintPdfRequest> parsePrintPdfArguments(const QStringList& arguments, QString& error);

// Everything the pages of one document are laid out from; all outlive the call.
struct PrintPdfSources {
  cmcGTex* text = nullptr;
  cmcCellParser* parser = nullptr;
  const SheetEnvironment* environment = nullptr;
  FieldCatalogue* catalogue = nullptr;
  QByteArray version;
  int fontSize = 10;
  double screenDpi = 96;
};

// Why `request` must not write its output (it is the data file itself, or an existing file that
// is not a PDF and --overwrite is not given); empty when it may.
QString printPdfOutputProblem(const PrintPdfRequest& request);

// Lays the sheets out on A4 pages at 600 dpi and writes them to `output`. Returns the number of
// pages written, or -1 with `error` set; then a file that was there is left as it was and no
// part of the new one remains.
int writeSheetsPdf(const PrintPdfSources& sources, const std::vector<QByteArray>& calls,
                   const QString& output, QString& error);

// The call strings a --sheet value names: a short name as kestrin-cli takes it, or the call
// string of a page of the tree; empty for no such page.
QByteArray printableCallOf(const QString& name, cmcGTex& text, cmcCellParser& parser);

// The whole command, without any window: run before the program makes its windows. Nothing
// when the command line does not ask for it; else the exit code (0, or 1 with the reason on
// stderr).
std::optional<int> runPrintPdfCommand(int argc, char** argv);
