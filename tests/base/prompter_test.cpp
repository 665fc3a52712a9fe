#include "base/prompter.h"

#include <gtest/gtest.h>

#include <QStringDecoder>
#include <QStringEncoder>

#include "base/fatal.h"
#include "base/textcodec.h"

TEST(ScriptedPrompter, AnswersFromQueueThenDefaultAndLogsEverything) {
  ScriptedPrompter p;
  p.push(PromptAnswer::Cancel);
  EXPECT_FALSE(p.confirmOkCancel("Kestrin", "Are you sure?"));
  EXPECT_TRUE(p.confirmOkCancel("Kestrin", "Again?"));  // queue empty: default Ok
  p.push(PromptAnswer::No);
  p.inform("Kestrin", "Done.");  // Ok-only boxes never take a scripted answer
  ASSERT_EQ(p.log().size(), 3u);
  EXPECT_EQ(p.log()[0].answer, PromptAnswer::Cancel);
  EXPECT_EQ(p.log()[2].message.buttons, PromptButtons::Ok);
  EXPECT_EQ(p.texts(), (QStringList{"Are you sure?", "Again?", "Done."}));
  EXPECT_EQ(p.ask({"K", "Q", PromptButtons::YesNoCancel, PromptIcon::Question, PromptAnswer::Yes}),
            PromptAnswer::No);
}

TEST(TextCodec, Cp932RoundTripAndLeadBytes) {
  const QByteArray katakanaA("\x83\x41", 2);
  EXPECT_EQ(fromCp932(katakanaA), QString::fromUtf8("ア"));
  EXPECT_EQ(toCp932(QString::fromUtf8("アB")), katakanaA + "B");
  EXPECT_TRUE(isCp932LeadByte(0x81));
  EXPECT_TRUE(isCp932LeadByte(0xEF));
  EXPECT_FALSE(isCp932LeadByte(0xA0));
  EXPECT_FALSE(isCp932LeadByte('A'));
}

TEST(FatalErrorDeathTest, ShowsTextAndAborts) {
  EXPECT_DEATH(fatalError("Out of cmcBuff element !"), "Out of cmcBuff element !");
}

// Plain ASCII takes a short way round the converter; it must give what the converter gives.
TEST(TextCodec, AsciiAnswersAsTheConverterDoes) {
  QByteArray all;
  for (int i = 1; i < 0x80; ++i) all.append(static_cast<char>(i));
#ifdef Q_OS_WIN
  GTEST_SKIP() << "the converter is the system's code page 932 here, not Qt's";
#endif
  QStringDecoder decoder("Shift_JIS");
  ASSERT_TRUE(decoder.isValid());
  EXPECT_EQ(fromCp932(all), decoder.decode(all));
  QStringEncoder encoder("Shift_JIS");
  const QString text = QString::fromLatin1(all);
  EXPECT_EQ(toCp932(text), QByteArray(encoder.encode(text)));
  // Mixed text still goes through the converter.
  EXPECT_EQ(fromCp932(QByteArray("A\x83\x41")), QString::fromUtf8("Aア"));
}
