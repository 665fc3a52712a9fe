// kestrin-cli diff run as a user runs it: two documents in, the differing fields out, and the exit
// status a script can test.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct CliRun {
  int exitCode = -1;
  QString out;
  QString err;
  QStringList lines() const { return out.split('\n', Qt::SkipEmptyParts); }
};

class CliDiff : public ::testing::Test {
 protected:
  CliRun cli(const QStringList& args) {
    QProcess p;
    p.setProgram(qEnvironmentVariable("KESTRIN_BIN_DIR") + QStringLiteral("/kestrin-cli"));
    p.setArguments(args);
    p.setWorkingDirectory(dir.path());
    p.setStandardInputFile(QProcess::nullDevice());
    p.start();
    CliRun r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
  }
  QString path(const QString& name) const { return dir.filePath(name); }
  // A new file for destination 0 (channel 0 at 146.010000, banks unnamed, beep on).
  void newFile(const QString& name) {
    const CliRun r = cli({"new", "-o", path(name), "--destination", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  }
  void edit(const QString& name, const QStringList& cell) {
    const CliRun r = cli(QStringList{"edit"} + cell + QStringList{path(name), "--in-place"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  }

  QTemporaryDir dir;
};

TEST_F(CliDiff, AFileAgainstItselfIsEqual) {
  newFile("a.qev");
  const CliRun r = cli({"diff", path("a.qev"), path("a.qev")});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
}

TEST_F(CliDiff, OneChangeOnEachKindOfPageGivesExactlyThoseFields) {
  newFile("a.qev");
  ASSERT_TRUE(QFile::copy(path("a.qev"), path("b.qev")));
  edit("b.qev", {"memory", "0", "Operating Freq", "147.000"});
  edit("b.qev", {"banks", "B", "Name", "HOME"});
  edit("b.qev", {"common", "Beep", "-", "OFF"});

  const CliRun tsv = cli({"diff", path("a.qev"), path("b.qev"), "--tsv"});
  EXPECT_EQ(tsv.exitCode, 1) << tsv.err.toStdString();
  EXPECT_EQ(tsv.lines(), QStringList({"memory\t0\tOperating Freq\t146.010000\t147.000000",
                                      "banks\tB\tName\t\tHOME", "common\tBeep\t\tON\tOFF"}));

  // The same three in the aligned table, with the sides swapped.
  const CliRun table = cli({"diff", path("b.qev"), path("a.qev")});
  EXPECT_EQ(table.exitCode, 1);
  const QStringList lines = table.lines();
  ASSERT_EQ(lines.size(), 3) << table.out.toStdString();
  EXPECT_EQ(lines[0].simplified(), "memory 0 Operating Freq 147.000000 146.010000");
  EXPECT_EQ(lines[1].simplified(), "banks B Name HOME (empty)");
  EXPECT_EQ(lines[2].simplified(), "common Beep - OFF ON");
  EXPECT_TRUE(table.err.contains("3 fields differ")) << table.err.toStdString();
}

// USA_A_0000 and EUR_A_0100 ship different factory channels and tuning steps, and only the USA
// version has the weather alert: the comparison shows those, and only what the pages show.
TEST_F(CliDiff, FactoryImagesOfTwoDestinationsDifferWhereTheirRulesDo) {
  const CliRun r = cli({"diff", "--destination", "0", "--destination", "EUR_A_0100"});
  ASSERT_EQ(r.exitCode, 1) << r.err.toStdString();
  const QStringList lines = r.lines();
  for (const char* expected :
       {"memory 0 Operating Freq 146.010000 145.000000", "memory 0 TS 5k 12.5k",
        "call C Operating Freq 146.010000 145.000000", "common WX Alert - OFF (absent)",
        "f1-common WX Alert - OFF (absent)"}) {
    bool found = false;
    for (const QString& line : lines) found = found || line.simplified() == expected;
    EXPECT_TRUE(found) << expected << "\n" << r.out.toStdString();
  }
  for (const QString& line : lines) {
    EXPECT_FALSE(line.startsWith("banks") || line.startsWith("dtmf")) << line.toStdString();
  }

  const CliRun same = cli({"diff", "--destination", "4", "--destination", "4"});
  EXPECT_EQ(same.exitCode, 0);
  EXPECT_TRUE(same.out.isEmpty());
}

TEST_F(CliDiff, ErrorsAreExitTwoWithTheReason) {
  newFile("a.qev");
  {
    QFile damaged(path("damaged.qev"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("32510004\r\n#Comment=\r\n#MapRev=1\r\n#EtcData=000000\r\n0000000020ZZ\r\n");
  }
  struct Case {
    QStringList args;
    QString message;
  };
  const Case cases[] = {
      {{"diff", path("a.qev"), path("damaged.qev")}, "File error.  Illegal data."},
      {{"diff", path("missing.qev"), path("a.qev")}, "File error.  Cannot open the file."},
      {{"diff", path("a.qev")}, "needs two documents"},
      {{"diff", path("a.qev"), "--destination", "16"}, "--destination needs a code"},
      {{"diff", path("a.qev"), path("a.qev"), path("a.qev")}, "compares two documents"},
  };
  for (const Case& c : cases) {
    const CliRun r = cli(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.args.join(' ').toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
  }
}

}  // namespace
