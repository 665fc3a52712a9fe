#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// kestrin-cli's new, export, import and verify, run as a user runs them.

namespace {

struct CliRun {
  int exitCode = -1;
  QString out;
  QString err;
};

class CliFiles : public ::testing::Test {
 protected:
  CliRun cli(const QStringList& args) {
    QProcess p;
    p.setProgram(qEnvironmentVariable("KESTRIN_BIN_DIR") + QStringLiteral("/kestrin-cli"));
    p.setArguments(args);
    p.setWorkingDirectory(dir.path());
    // Channel lists follow the regional separators; these tests use "." and ",".
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C");
    p.setProcessEnvironment(env);
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
  QByteArray read(const QString& name) const {
    QFile f(path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  void write(const QString& name, const QByteArray& bytes) {
    QFile f(path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }

  QTemporaryDir dir;
};

#ifdef Q_OS_UNIX  // FIFOs are Unix's
// Inputs that are not regular files are refused at once by every command that reads one; a
// check line that does not fit is named on stderr and the file still opens.
TEST_F(CliFiles, FifosAreRefusedAndDamagedCheckLinesNamed) {
  ASSERT_EQ(cli({"new", "--destination", "4", "-o", "eur.qev"}).exitCode, 0);
  for (const char* name : {"fifo.qev", "fifo.csv"})
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(name)).constData(), 0600), 0);
  const QStringList commands[] = {
      {"verify", "fifo.qev"},
      {"show", "memory", "fifo.qev"},
      {"diff", "fifo.qev", "eur.qev"},
      {"import", "eur.qev", "memory", "fifo.csv", "-o", "out.qev"},
  };
  for (const QStringList& args : commands) {
    QElapsedTimer clock;
    clock.start();
    const CliRun r = cli(args);
    EXPECT_GT(r.exitCode, 0) << args.join(' ').toStdString();  // diff fails with 2
    EXPECT_LT(clock.elapsed(), 30000) << args.join(' ').toStdString();
  }

  QByteArray bytes = read("eur.qev");
  const qsizetype at = bytes.indexOf("#CD=") + 4;
  bytes[at] = bytes[at] == '0' ? '1' : '0';
  write("damaged.qev", bytes);
  const CliRun shown = cli({"show", "memory", "damaged.qev"});
  EXPECT_EQ(shown.exitCode, 0) << shown.err.toStdString();
  EXPECT_TRUE(shown.err.contains("The check line of") && shown.err.contains("damaged.qev"))
      << shown.err.toStdString();
}
#endif

TEST_F(CliFiles, NewFileVerifies) {
  const CliRun made = cli({"new", "--destination", "4", "-o", "eur.qev"});
  ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
  EXPECT_TRUE(made.out.contains("EUR_A_0100")) << made.out.toStdString();
  EXPECT_TRUE(read("eur.qev").startsWith("32510004\r\n#Comment=\r\n#MapRev=1\r\n#EtcData="));

  const CliRun v = cli({"verify", "eur.qev"});
  EXPECT_EQ(v.exitCode, 0) << v.err.toStdString();
  EXPECT_TRUE(v.out.contains("opens; destination 4 (EUR_A_0100)")) << v.out.toStdString();
  EXPECT_TRUE(v.out.contains("check line: matches")) << v.out.toStdString();

  // Without -o nothing is written.
  EXPECT_EQ(cli({"new", "--destination", "4"}).exitCode, 2);
}

// A channel list survives a trip through a file: what one file exports, another imports, and
// exporting that gives the same list back.
TEST_F(CliFiles, ExportImportExportGivesTheSameList) {
  ASSERT_EQ(cli({"new", "--destination", "4", "-o", "a.qev"}).exitCode, 0);
  ASSERT_EQ(cli({"new", "--destination", "4", "-o", "b.qev"}).exitCode, 0);
  // Give the first file some varied channels.
  write("seed.csv",
        "CH No,Frequency,Dup,Offset,TS,Mode,Name Disp,Name,SKIP,RF Power,TONE,Repeater Tone,"
        "DTCS Code\r\n"
        "00,145.500000,DUP-,0.600000,12.5kHz,FM,ON,CLUB,SKIP,Low,TSQL,100.0Hz,023\r\n"
        "03,144.800000,OFF,0.000000,25kHz,FM-N,OFF,APRS,OFF,High,DTCS,88.5Hz,754\r\n"
        "99,145.787500,DUP+,1.000000,6.25kHz,FM,ON,ISS,PSKIP,Mid,TONE,67.0Hz,023\r\n");
  const CliRun seeded = cli({"import", "a.qev", "memory", "seed.csv", "-o", "a2.qev"});
  ASSERT_EQ(seeded.exitCode, 0) << seeded.err.toStdString();
  EXPECT_TRUE(seeded.out.contains("imported from seed.csv: 3")) << seeded.out.toStdString();

  const CliRun first = cli({"export", "a2.qev", "memory", "-o", "first.csv"});
  ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
  const QByteArray list = read("first.csv");
  ASSERT_EQ(list.count("\r\n"), 101);
  EXPECT_TRUE(list.contains("\r\n00,145.500000,DUP-,OFF,0.600000,")) << list.left(400).data();
  EXPECT_TRUE(list.contains(",CLUB,SKIP,Low,TSQL,100.0Hz,")) << list.data();

  const CliRun imported = cli({"import", "b.qev", "memory", "first.csv", "-o", "b2.qev"});
  ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
  EXPECT_TRUE(imported.out.contains("imported from first.csv: 3, read as blank: 0, corrected: 0"))
      << imported.out.toStdString();
  EXPECT_EQ(cli({"export", "b2.qev", "memory", "-o", "second.csv"}).exitCode, 0);
  EXPECT_EQ(read("second.csv"), list);

  // Without -o the list goes to standard output.
  const CliRun toStdout = cli({"export", "b2.qev", "memory"});
  EXPECT_EQ(toStdout.out.toUtf8(), list);
}

TEST_F(CliFiles, ImportReportsWhatTheProgramReports) {
  ASSERT_EQ(cli({"new", "--destination", "4", "-o", "a.qev"}).exitCode, 0);
  struct Case {
    const char* name;
    QByteArray csv;
    int exitCode;
    const char* message;
    bool saved;
  } cases[] = {
      {"header without Frequency", "CH No,Name\r\n00,X\r\n", 1, "File error.  Illegal data.",
       false},
      {"only a header", "CH No,Frequency\r\n", 0, "No channel data was found.", true},
      {"frequency out of range", "CH No,Frequency\r\n00,135.995\r\n01,145.5\r\n", 0,
       "Some channels are read as blank due to invalid value/setting.", true},
      {"name too long", "CH No,Frequency,Name\r\n00,145.5,SEVENCH\r\n", 0,
       "Some settings are changed to the valid value.", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(path("out.qev"));
    write("in.csv", c.csv);
    const CliRun r = cli({"import", "a.qev", "memory", "in.csv", "-o", "out.qev"});
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    EXPECT_EQ(QFile::exists(path("out.qev")), c.saved);
  }
  const CliRun missing = cli({"import", "a.qev", "memory", "nowhere.csv", "-o", "out.qev"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(missing.err.contains("Cannot open the file.")) << missing.err.toStdString();
  EXPECT_EQ(cli({"import", "a.qev", "bogus", "in.csv", "-o", "out.qev"}).exitCode, 2);
}

TEST_F(CliFiles, VerifyReportsATamperedCheckLineButTheFileStillOpens) {
  ASSERT_EQ(cli({"new", "--destination", "0", "-o", "usa.qev"}).exitCode, 0);
  QByteArray content = read("usa.qev");
  const qsizetype at = content.indexOf("#CD=") + 4;
  content[at] = content[at] == 'A' ? 'B' : 'A';
  write("tampered.qev", content);

  const CliRun v = cli({"verify", "tampered.qev"});
  EXPECT_EQ(v.exitCode, 1);
  EXPECT_TRUE(v.out.contains("opens; destination 0 (USA_A_0000)")) << v.out.toStdString();
  EXPECT_TRUE(v.out.contains("check line: does not match")) << v.out.toStdString();
  EXPECT_TRUE(v.err.contains("does not match")) << v.err.toStdString();

  // A file the read checks refuse does not open at all.
  QByteArray wrongVersion = read("usa.qev");
  const qsizetype line = wrongVersion.indexOf("\r\n0000188020") + 2 + 10;
  wrongVersion.replace(line, 2, "02");
  write("version.qev", wrongVersion);
  const CliRun refused = cli({"verify", "version.qev"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(refused.err.contains("File error.  Illegal data.")) << refused.err.toStdString();
  EXPECT_FALSE(refused.out.contains("opens"));
}

}  // namespace

// The common channel-list layout: export --layout common, and import that tells the layout by
// its header and prints its row report; exporting the result again gives the same list.
TEST_F(CliFiles, CommonLayoutRoundTripAndRowReport) {
  ASSERT_EQ(cli({"new", "--destination", "0", "-o", "base.qev"}).exitCode, 0);
  ASSERT_EQ(cli({"edit", "memory", "3", "Operating Freq", "146.94", "base.qev", "--in-place"}).exitCode, 0);
  ASSERT_EQ(cli({"edit", "memory", "3", "Name", "club", "base.qev", "--in-place"}).exitCode, 0);
  const CliRun out = cli({"export", "base.qev", "memory", "-o", "list.csv", "--layout", "common"});
  ASSERT_EQ(out.exitCode, 0) << out.err.toStdString();
  const QByteArray list = read("list.csv");
  EXPECT_TRUE(list.startsWith("Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq,cToneFreq,"))
      << list.toStdString();
  EXPECT_TRUE(list.contains("\r\n3,CLUB,146.940000,")) << list.toStdString();

  const CliRun in = cli({"import", "base.qev", "memory2", "list.csv", "-o", "moved.qev"});
  ASSERT_EQ(in.exitCode, 0) << in.err.toStdString();
  EXPECT_TRUE(in.out.contains(" taken.\nLine 2, Location ")) << in.out.toStdString();
  EXPECT_TRUE(in.out.contains("(common layout)")) << in.out.toStdString();
  const CliRun again = cli({"export", "moved.qev", "memory2", "--layout", "common"});
  ASSERT_EQ(again.exitCode, 0);
  EXPECT_TRUE(again.out.contains(",CLUB,146.940000,")) << again.out.toStdString();

  // A row the transceiver cannot hold is named with its line and reason.
  write("dir.csv", "Location,Name,Frequency\r\n1,UHF,446.000000\r\n2,VHF,145.500000\r\n");
  const CliRun far = cli({"import", "base.qev", "edges", "dir.csv", "-o", "edges.qev"});
  ASSERT_EQ(far.exitCode, 0) << far.err.toStdString();
  EXPECT_TRUE(far.out.contains("1 of 2 rows taken.")) << far.out.toStdString();
  EXPECT_TRUE(far.out.contains("Line 2, Location 1: not taken: 446.000000 MHz is outside"))
      << far.out.toStdString();
  EXPECT_TRUE(far.out.contains("Line 3, Location 2: channel 1A")) << far.out.toStdString();

  EXPECT_EQ(cli({"export", "base.qev", "memory", "--layout", "other"}).exitCode, 2);
}
