#include "model/version.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"

namespace {

class VersionTest : public ::testing::Test {
 protected:
  VersionTest() {
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
  }
  void writeVersionFile(const QByteArray& contents) {
    QFile file(dir.filePath("KESTRIN.dat"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
  }
  cmcGTex text;
  QTemporaryDir dir;
};

TEST_F(VersionTest, WithoutAVersionFileTheResourceTextsStand) {
  const VersionTexts texts = readVersionTexts(text, dir.path());
  EXPECT_EQ(texts.version, "1.00");
  EXPECT_EQ(texts.year, "2022");
  EXPECT_EQ(versionLine("kestrin-cli", texts), "kestrin-cli 1.00");
}

// Lines 1 and 2 count, trimmed; a blank line keeps its default; CR LF, LF and a missing last line
// end all read the same.
TEST_F(VersionTest, VersionFileLinesReplaceTheDefaults) {
  struct Case {
    QByteArray file;
    QByteArray version;
    QByteArray year;
  };
  const Case cases[] = {
      {"Kestrin\r\n  1.02 \r\n2024\r\n", "1.02", "2024"},
      {"Kestrin\n1.03\n2025", "1.03", "2025"},
      {"Kestrin\n\t\n2026\n", "1.00", "2026"},
      {"Kestrin\n1.04\n", "1.04", "2022"},
      {"1.05\n", "1.00", "2022"},  // line 0 is not the version
      {"", "1.00", "2022"},
      {"Kestrin\n1\r.\r0\r6\n20\r27\n", "1.06",
       "2027"},  // carriage returns inside lines are dropped
  };
  for (const Case& c : cases) {
    writeVersionFile(c.file);
    const VersionTexts texts = readVersionTexts(text, dir.path());
    EXPECT_EQ(texts.version, c.version) << c.file.toStdString();
    EXPECT_EQ(texts.year, c.year) << c.file.toStdString();
  }
}

// The package is named after the build's version; the program shows the resource text's. They
// must not drift apart.
TEST_F(VersionTest, BuildVersionMatchesTheDefaultVersionText) {
  EXPECT_EQ(buildVersion(), text.getLine("GI_Version_Default", 0));
}

}  // namespace
