#include "print/PrintPdf.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/textcodec.h"
#include "files/filecommands.h"
#include "model/ChannelView.h"
#include "print_support.h"
#include "sheet/core/DocumentCompare.h"
#include "sheet/core/SheetModel.h"

namespace {

struct ProgramRun {
  int code = -1;
  QString out;
  QString err;
};

ProgramRun kestrin(const QStringList& args) {
  const QString bin = qEnvironmentVariable("KESTRIN_BIN_DIR");
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("QT_QPA_PLATFORM");  // the command needs no display and chooses none itself
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  p.setProcessEnvironment(env);
  p.start(bin + "/kestrin", args);
  p.waitForFinished(60000);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          QString::fromUtf8(p.readAllStandardOutput()),
          QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace

TEST(PrintPdfArguments, ParsesTheCommandLine) {
  struct Case {
    QStringList args;
    bool asked;
    QString error;  // part of the reason, empty when fine
    PrintPdfRequest request;
  };
  const Case cases[] = {
      {{"kestrin", "a.qev"}, false, {}, {}},
      {{"kestrin", "--print-pdf", "o.pdf"}, true, {}, {"o.pdf", {}, {}}},
      {{"kestrin", "--print-pdf", "o.pdf", "--sheet", "memory", "x.qev"},
       true,
       {},
       {"o.pdf", "memory", "x.qev"}},
      {{"kestrin", "x.qev", "--all", "--print-pdf", "o.pdf"}, true, {}, {"o.pdf", {}, "x.qev"}},
      {{"kestrin", "--print-pdf"}, true, "needs the name", {}},
      {{"kestrin", "--print-pdf", "--all"}, true, "needs the name", {}},
      {{"kestrin", "--print-pdf", "o.pdf", "--sheet"}, true, "needs a sheet name", {}},
      {{"kestrin", "--print-pdf", "o.pdf", "--sheet", "dtmf", "--all"}, true, "exclude", {}},
      {{"kestrin", "--print-pdf", "o.pdf", "--colour"}, true, "unknown option --colour", {}},
      {{"kestrin", "--print-pdf", "o.pdf", "a.qev", "b.qev"}, true, "only one data file", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QString error;
    const auto request = parsePrintPdfArguments(c.args, error);
    ASSERT_EQ(request.has_value(), c.asked);
    if (!c.asked) continue;
    if (!c.error.isEmpty()) {
      EXPECT_TRUE(error.contains(c.error)) << error.toStdString();
      continue;
    }
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(request->output, c.request.output);
    EXPECT_EQ(request->sheet, c.request.sheet);
    EXPECT_EQ(request->file, c.request.file);
  }
}

TEST_F(PrintTest, SheetNamesAreTheToolsOrTheTreesCallStrings) {
  EXPECT_EQ(printableCallOf("memory", text, parser), "[St_ColCut]GI_Sheet_MemoryCH,0,0");
  EXPECT_EQ(printableCallOf("F1-Common", text, parser), "[St_Common]GI_Sheet_Common,9");
  EXPECT_EQ(printableCallOf("GI_Sheet_BankName,5", text, parser), "GI_Sheet_BankName,5");
  EXPECT_TRUE(printableCallOf("GI_Sheet_Sel_Tone", text, parser).isEmpty());
  EXPECT_TRUE(printableCallOf("nosuch", text, parser).isEmpty());
}

TEST_F(PrintTest, PrintPdfWritesEverySheetOfTheTreeWithItsFrame) {
  KESTRIN_NEEDS_PDF_TOOLS();
  const QString path = dir.filePath("factory.pdf");
  const ProgramRun run = kestrin({"--print-pdf", path});
  ASSERT_EQ(run.code, 0) << run.err.toStdString();
  const int pages = pdfPages(path);
  ASSERT_GT(pages, 1);
  EXPECT_TRUE(run.err.contains(QString("%1 pages").arg(pages))) << run.err.toStdString();

  // Every printable sheet of the tree has its title in the file.
  const QString all = pdfText(path);
  int printable = 0;
  for (const QByteArray& call : treePages(text, parser)) {
    SheetServices s;
    s.text = &text;
    s.parser = &parser;
    s.environment = env;
    auto sheet = SheetModel::create(call, s);
    sheet->build();
    if (!sheet->isPrintableForPrintAll()) continue;
    ++printable;
    const QString title = fromCp932(sheet->titleText()).trimmed();
    EXPECT_TRUE(all.contains(title)) << call.constData() << " " << title.toStdString();
  }
  EXPECT_GE(printable, 8);
  for (int page = 1; page <= pages; ++page) {
    const QString one = pdfText(path, page);
    EXPECT_EQ(one.count("Kestrin Ver.1.00"), 1) << "page " << page;
    EXPECT_EQ(one.count("Zelk Inc."), 1) << "page " << page;
  }
  EXPECT_TRUE(pdfText(path, 1).contains("146.010000"));
}

TEST_F(PrintTest, PrintPdfOfOneSheetOfAFile) {
  KESTRIN_NEEDS_PDF_TOOLS();
  // A file with channel 5 on 145.5 MHz, saved as the program saves it.
  ChannelView channel(doc.working(), doc.options());
  channel.load(kKindConventional, 5);
  channel.inUse = true;
  channel.frequency = 145500000;
  channel.commit();
  const QString data = dir.filePath("five.qev");
  FileCommands files(doc, prompter, text);
  ASSERT_EQ(files.saveFile(data), 0);

  const QString path = dir.filePath("memory.pdf");
  const ProgramRun run = kestrin({"--print-pdf", path, "--sheet", "memory", data});
  ASSERT_EQ(run.code, 0) << run.err.toStdString();
  const QString all = pdfText(path);
  EXPECT_TRUE(all.contains("145.500000")) << all.toStdString();
  EXPECT_TRUE(all.contains("Memory CH"));
  EXPECT_FALSE(all.contains("DTMF Memory"));
}

TEST_F(PrintTest, PrintPdfFailuresExitOneWithTheReason) {
  QFile bad(dir.filePath("bad.qev"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("not a clone file\n");
  bad.close();
  struct Case {
    QStringList args;
    QString reason;
  };
  const QString out = dir.filePath("out.pdf");
  for (const Case& c : {
           Case{{"--print-pdf", out, "--sheet", "nosuch"}, "no sheet \"nosuch\""},
           Case{{"--print-pdf", out, "--sheet", "clone-info"}, "nothing to print"},
           Case{{"--print-pdf", out, "--sheet", "memory2"}, "nothing to print"},
           Case{{"--print-pdf", out, dir.filePath("missing.qev")}, "cannot open"},
           Case{{"--print-pdf", out, bad.fileName()}, "cannot open"},
           Case{{"--print-pdf", dir.filePath("no/such/dir/x.pdf")}, "cannot write"},
           Case{{"--print-pdf"}, "needs the name"},
       }) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const ProgramRun run = kestrin(c.args);
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
  }
}

#ifdef Q_OS_UNIX  // symbolic and hard links as Unix makes them
// The output is never the data file being printed (by any name), nor an existing file that is
// not a PDF unless --overwrite says so; a PDF that cannot be written whole is an error, and the
// file that was there stays as it was.
TEST_F(PrintTest, PrintPdfNeverReplacesWhatItShouldNot) {
  FileCommands files(doc, prompter, text);
  const QString data = dir.filePath("club.qev");
  ASSERT_EQ(files.saveFile(data), 0);
  auto contents = [](const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  };
  const QByteArray qev = contents(data);
  const QString link = dir.filePath("link.qev");
  ASSERT_TRUE(QFile::link(data, link));
  const QString hard = dir.filePath("hard.pdf");
  ASSERT_EQ(::link(QFile::encodeName(data).constData(), QFile::encodeName(hard).constData()), 0);
  const QString notes = dir.filePath("notes.txt");
  {
    QFile f(notes);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("my notes\n");
  }
  struct Case {
    QStringList args;
    QString reason;  // empty: it succeeds
    QString kept;    // a file that must be unchanged afterwards
  };
  const Case cases[] = {
      {{"--print-pdf", data, "--sheet", "memory", data}, "is the data file", data},
      {{"--print-pdf", link, "--sheet", "memory", data}, "is the data file", data},
      {{"--print-pdf", hard, "--sheet", "memory", data}, "is the data file", data},
      {{"--print-pdf", notes, "--sheet", "memory", data}, "not a PDF", notes},
      {{"--print-pdf", notes, "--sheet", "memory", "--overwrite", data}, {}, data},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const QByteArray before = contents(c.kept);
    const ProgramRun run = kestrin(c.args);
    if (c.reason.isEmpty()) {
      EXPECT_EQ(run.code, 0) << run.err.toStdString();
    } else {
      EXPECT_EQ(run.code, 1);
      EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
    }
    EXPECT_EQ(contents(c.kept), before);
  }
  EXPECT_EQ(contents(data), qev);
  EXPECT_TRUE(contents(notes).startsWith("%PDF-"));
}
#endif

TEST_F(PrintTest, PrintPdfThatCannotBeWrittenWholeFails) {
  KESTRIN_NEEDS_PDF_TOOLS();
  // A device that takes nothing.
  ProgramRun run = kestrin({"--print-pdf", "/dev/full", "--sheet", "memory"});
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(run.err.contains("cannot write /dev/full")) << run.err.toStdString();

  // A disk that fills up (a file size limit): the old PDF stays whole, no part is left.
  const QString out = dir.filePath("old.pdf");
  {
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("%PDF-1.4 the previous one\n");
  }
  const QString bin = qEnvironmentVariable("KESTRIN_BIN_DIR") + "/kestrin";
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  p.setProcessEnvironment(env);
  p.start("sh", {"-c", "ulimit -f 16; trap '' XFSZ; exec \"$0\" \"$@\"", bin, "--print-pdf", out});
  ASSERT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 1) << p.readAllStandardError().toStdString();
  QFile kept(out);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), QByteArray("%PDF-1.4 the previous one\n"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.pdf"});
}
