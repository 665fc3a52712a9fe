#include <QCoreApplication>
#include <gtest/gtest.h>

// Timers and posted events need an application object; tests spin its loop when they wait.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
