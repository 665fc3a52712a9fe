#include "print/PrintPdf.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QScreen>
#include <cstdio>
#include <filesystem>

#include "base/prompter.h"
#include "files/filecommands.h"
#include "files/rawnames.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "model/catalogue.h"
#include "model/cmcCellCapsule.h"
#include "model/document.h"
#include "model/version.h"
#include "print/PrintLayout.h"
#include "session/Workspace.h"
#include "sheet/core/DocumentCompare.h"
#include "sheet/core/SheetEnvironment.h"
#include "sheet/core/SheetNames.h"

namespace {

constexpr int kPdfDpi = 600;

// Without a window every message is a line on stderr; questions take their default answer.
class StderrPrompter : public Prompter {
 public:
  PromptAnswer ask(const PromptMessage& message) override {
    QString text = message.text;
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    last = text;
    std::fprintf(stderr, "kestrin: %s\n", text.toLocal8Bit().constData());
    return message.defaultAnswer;
  }
  QString last;
};

}  // namespace

std::optional<PrintPdfRequest> parsePrintPdfArguments(const QStringList& arguments,
                                                      QString& error) {
  const qsizetype at = arguments.indexOf(QStringLiteral("--print-pdf"));
  if (at < 0) return std::nullopt;
  PrintPdfRequest request;
  bool all = false;
  error.clear();
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (i == at) {
      if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QStringLiteral("--"))) {
        error = QStringLiteral("--print-pdf needs the name of the PDF file to write");
        return request;
      }
      request.output = arguments[++i];
    } else if (a == QStringLiteral("--sheet")) {
      if (i + 1 >= arguments.size()) {
        error = QStringLiteral("--sheet needs a sheet name (%1)").arg(sheetNames().join(", "));
        return request;
      }
      request.sheet = arguments[++i];
    } else if (a == QStringLiteral("--all")) {
      all = true;
    } else if (a == QStringLiteral("--overwrite")) {
      request.overwrite = true;
    } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
      error = QStringLiteral(
                  "unknown option %1 (--print-pdf OUT.pdf [--sheet NAME | --all] "
                  "[--overwrite] [FILE.qev])")
                  .arg(a);
      return request;
    } else if (request.file.isEmpty()) {
      request.file = a;
    } else {
      error = QStringLiteral("only one data file can be printed (%1, %2)").arg(request.file, a);
      return request;
    }
  }
  if (all && !request.sheet.isEmpty())
    error = QStringLiteral("--sheet and --all exclude each other");
  return request;
}

QByteArray printableCallOf(const QString& name, cmcGTex& text, cmcCellParser& parser) {
  const QByteArray call = sheetCallOfName(name);
  if (!call.isEmpty()) return call;
  // A call string as the tree opens it; anything else could name a template of the text.
  const QByteArray asCall = name.toUtf8();
  for (const QByteArray& page : treePages(text, parser))
    if (page == asCall) return page;
  return {};
}

int writeSheetsPdf(const PrintPdfSources& sources, const std::vector<QByteArray>& calls,
                   const QString& output, QString& error) {
  CatalogueCellTexts texts(*sources.catalogue);
  PrintServices services;
  services.sheet.text = sources.text;
  services.sheet.parser = sources.parser;
  services.sheet.environment = sources.environment;
  services.sheet.texts = &texts;
  FieldCatalogue* catalogue = sources.catalogue;
  services.answer = [catalogue](cmcCellCapsule& request) { catalogue->dispatch(request, false); };
  services.version = sources.version;
  services.fontSize = sources.fontSize;
  services.screenDpi = sources.screenDpi;

  // The document is made in memory first, so that every byte of it can be checked on its way
  // to the file.
  QBuffer document;
  document.open(QIODevice::WriteOnly);
  QPdfWriter writer(&document);
  writer.setResolution(kPdfDpi);
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
  writer.setCreator(QStringLiteral("Kestrin"));
  writer.setTitle(QFileInfo(output).completeBaseName());

  PrintLayout layout(services, writer);
  std::vector<PrintPage> pages;
  for (const QByteArray& call : calls) {
    const std::vector<PrintPage> sheet = layout.layoutSheet(call, calls.size() > 1);
    pages.insert(pages.end(), sheet.begin(), sheet.end());
  }
  if (pages.empty()) {
    error = calls.size() == 1 ? QStringLiteral("the sheet has nothing to print")
                              : QStringLiteral("no sheet has anything to print");
    return -1;
  }
  const QString cannot = QStringLiteral("cannot write %1").arg(output);
  QPainter painter;
  if (!painter.begin(&writer)) {
    error = cannot;
    return -1;
  }
  const int drawn = layout.printPages(writer, painter, pages);
  if (!painter.end()) {
    error = cannot;
    return -1;
  }
  const QByteArray bytes = document.data();

  // Through a temporary file that replaces `output` only when complete; a device or a pipe
  // (/dev/stdout) is written directly.
  const QFileInfo target(output);
  if (target.exists() && !target.isFile()) {
    QFile direct(output);
    if (!direct.open(QIODevice::WriteOnly) || direct.write(bytes) != bytes.size() ||
        !direct.flush()) {
      error = cannot + QStringLiteral(": ") + direct.errorString();
      return -1;
    }
    direct.close();
    if (direct.error() != QFileDevice::NoError) {
      error = cannot + QStringLiteral(": ") + direct.errorString();
      return -1;
    }
    return drawn;
  }
  QSaveFile saved(output);
  if (!saved.open(QIODevice::WriteOnly)) {
    error = cannot + QStringLiteral(": ") + saved.errorString();
    return -1;
  }
  // The last buffered bytes go out in the flush: a failure there must count too.
  if (saved.write(bytes) != bytes.size() || !saved.flush()) {
    error = cannot + QStringLiteral(": ") + saved.errorString();
    saved.cancelWriting();
    saved.commit();  // removes the temporary file
    return -1;
  }
  if (!saved.commit()) {
    error = cannot + QStringLiteral(": ") + saved.errorString();
    return -1;
  }
  return drawn;
}

QString printPdfOutputProblem(const PrintPdfRequest& request) {
  // By the names' own bytes, which are not always what the decoded names encode to.
  auto pathOf = [](const QString& name) {
    return std::filesystem::path(rawnames::localBytes(name).toStdString());
  };
  std::error_code ec;
  const std::filesystem::path out = pathOf(request.output);
  if (out.empty() || !std::filesystem::exists(out, ec)) return {};
  // The same file by identity: a link or another spelling of the name counts too.
  if (!request.file.isEmpty() && std::filesystem::equivalent(out, pathOf(request.file), ec)) {
    return QStringLiteral("%1 is the data file being printed; name another file for the PDF")
        .arg(request.output);
  }
  if (!std::filesystem::is_regular_file(out, ec) || request.overwrite) return {};
  QFile existing(rawnames::readPath(request.output));
  if (!existing.open(QIODevice::ReadOnly)) return {};  // writing it will say why
  const QByteArray head = existing.read(5);
  if (head.isEmpty() || head == "%PDF-") return {};
  return QStringLiteral("%1 exists and is not a PDF file; --overwrite replaces it")
      .arg(request.output);
}

std::optional<int> runPrintPdfCommand(int argc, char** argv) {
  rawnames::remember(argc, argv);
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QString error;
  const std::optional<PrintPdfRequest> request = parsePrintPdfArguments(arguments, error);
  if (!request) return std::nullopt;
  auto fail = [](const QString& why) {
    std::fprintf(stderr, "kestrin: %s\n", why.toLocal8Bit().constData());
    return 1;
  };
  if (!error.isEmpty()) return fail(error);
  if (const QString problem = printPdfOutputProblem(*request); !problem.isEmpty())
    return fail(problem);

  // No display is needed, nor touched.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);

  StderrPrompter prompter;
  Workspace workspace(WorkspaceSetup{&prompter});
  cmcGTex& text = workspace.text();
  cmcCellParser& parser = workspace.parser();
  Document& document = workspace.document();
  // As kestrin-cli: the first destination with every option, unless the file names its own.
  document.setOptionBits(0x0F);
  document.setDestination(0);
  document.newDocument();
  if (!request->file.isEmpty()) {
    FileCommands& files = workspace.files();
    files.setDestinationPolicy(FileCommands::DestinationPolicy::AdoptFile);
    const QString readable = rawnames::readPath(request->file);
    if (readable.isEmpty() || files.openFile(QFileInfo(readable).absoluteFilePath()) != 0)
      return fail(QStringLiteral("cannot open %1").arg(request->file));
  }
  FieldCatalogue& catalogue = workspace.catalogue();
  DocumentSheetEnvironment& environment = workspace.environment();

  std::vector<QByteArray> calls;
  if (request->sheet.isEmpty()) {
    calls = treePages(text, parser, document.options().optionBits());
  } else {
    const QByteArray call = printableCallOf(request->sheet, text, parser);
    if (call.isEmpty()) {
      return fail(QStringLiteral("no sheet \"%1\" (try one of: %2)")
                      .arg(request->sheet, sheetNames().join(", ")));
    }
    calls.push_back(call);
  }

  PrintPdfSources sources;
  sources.text = &text;
  sources.parser = &parser;
  sources.environment = &environment;
  sources.catalogue = &catalogue;
  sources.version = programVersionTexts(text).version;
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    sources.screenDpi = screen->logicalDotsPerInchY();
  // A name that is not in the file-name encoding is written under its own bytes.
  rawnames::OutputPath output(request->output);
  if (output.path().isEmpty()) return fail(QStringLiteral("cannot write %1").arg(request->output));
  const int pages = writeSheetsPdf(sources, calls, output.path(), error);
  if (pages < 0) return fail(error);
  if (!output.finish()) return fail(QStringLiteral("cannot write %1").arg(request->output));
  std::fprintf(stderr, "%s: %d page%s\n", rawnames::localBytes(request->output).constData(), pages,
               pages == 1 ? "" : "s");
  return 0;
}
