#include <gtest/gtest.h>

#include <QPointer>

#include "base/cmcTask.h"
#include "spin.h"

namespace {
// Counts ticks through the context pointer, as owners do.
void countTick(void* context, cmcTask*) { ++*static_cast<int*>(context); }
}  // namespace

TEST(cmcTask, IntervalZeroRunsEveryMillisecondAndMinusOneStops) {
  cmcTask task;
  EXPECT_TRUE(task.stopped());
  int ticks = 0;
  task.SetCallback(countTick, &ticks);
  task.SetInterval(0);
  EXPECT_FALSE(task.stopped());
  EXPECT_EQ(task.interval(), 0);
  // Twenty ticks come within a few milliseconds from a 1 ms timer; any interval of 150 ms or
  // more would need longer than the wait allows, however loaded the machine is.
  EXPECT_TRUE(spinUntil([&] { return ticks >= 20; }, 3000));

  task.SetInterval(-1);
  EXPECT_TRUE(task.stopped());
  const int atStop = ticks;
  spinFor(30);
  EXPECT_EQ(ticks, atStop);
}

TEST(cmcTask, NoCallbackAndStopAndClearDoNothing) {
  cmcTask task;
  task.SetInterval(1);
  spinFor(10);  // ticking without a callback is harmless
  int ticks = 0;
  task.SetCallback(countTick, &ticks);
  ASSERT_TRUE(spinUntil([&] { return ticks > 0; }));
  task.StopAndClear();
  EXPECT_TRUE(task.stopped());
  const int atStop = ticks;
  task.SetInterval(1);  // restarted, but the callback is gone
  spinFor(20);
  EXPECT_EQ(ticks, atStop);
}

TEST(cmcTask, CallbackPumpingANestedLoopIsNotReentered) {
  cmcTask task;
  int depth = 0, maxDepth = 0, calls = 0;
  task.SetCallback([&](void*, cmcTask* self) {
    EXPECT_EQ(self, &task);
    EXPECT_TRUE(self->busy());
    ++calls;
    maxDepth = std::max(maxDepth, ++depth);
    if (calls == 1) spinFor(30);  // like a message box inside the callback
    --depth;
  });
  task.SetInterval(1);
  ASSERT_TRUE(spinUntil([&] { return calls >= 3; }));
  EXPECT_EQ(maxDepth, 1);
  EXPECT_FALSE(task.busy());
  task.SetInterval(-1);
}

TEST(cmcTask, DisposedFromItsOwnCallbackIsFreedAtTheNextTickOnly) {
  QPointer<cmcTask> task = new cmcTask;
  bool aliveAfterNestedLoop = false;
  int calls = 0;
  task->SetCallback([&](void*, cmcTask* self) {
    ++calls;
    cmcTask::Dispose(self);
    EXPECT_TRUE(self->disposePending());
    // Ticks reach the task inside this nested loop; it must survive them.
    spinFor(20);
    aliveAfterNestedLoop = !task.isNull();
    self->busy();  // touches the task after the nested loop (ASan would catch a freed one)
  });
  task->SetInterval(1);
  ASSERT_TRUE(spinUntil([&] { return task.isNull(); }));
  EXPECT_TRUE(aliveAfterNestedLoop);
  EXPECT_EQ(calls, 1);
}

TEST(cmcTask, StoppedInsideItsCallbackThenDisposedIsStillDeferred) {
  QPointer<cmcTask> task = new cmcTask;
  bool alive = false;
  task->SetCallback([&](void*, cmcTask* self) {
    self->SetInterval(-1);
    cmcTask::Dispose(self);  // stopped, but its callback is running: must not free now
    alive = !task.isNull();
  });
  task->SetInterval(1);
  ASSERT_TRUE(spinUntil([&] { return task.isNull(); }));
  EXPECT_TRUE(alive);
}

TEST(cmcTask, DisposeOfAStoppedTaskFreesAtOnce) {
  QPointer<cmcTask> task = new cmcTask;
  task->SetInterval(5);
  task->SetInterval(-1);
  cmcTask::Dispose(task);
  EXPECT_TRUE(task.isNull());
  cmcTask::Dispose(nullptr);
}
