// The root node of the tree names the model after every rebuild of the tree, not only the first.

#include <gtest/gtest.h>

#include <QTreeWidget>

#include "app/cuiTree.h"
#include "support/TestWindow.h"

namespace {

TEST(ModelDisplay, RootNodeKeepsTheModelNameWhenTheTreeIsRebuilt) {
  TestWindow window;
  indMain& app = *window.app;
  auto rootText = [&] { return app.tree()->control()->topLevelItem(0)->text(0); };
  ASSERT_EQ(rootText(), "Osprel");

  // A destination switch, as after a clone identification.
  app.cloneSession().changeDestination(1, true);
  EXPECT_EQ(rootText(), "Osprel");
  app.optionFlagAChanged();
  EXPECT_EQ(rootText(), "Osprel");
}

}  // namespace
