#include <gtest/gtest.h>

#include <QTimer>
#include <string>
#include <vector>

#include "base/cmcEvMan.h"
#include "spin.h"

namespace {

// A subscriber that logs "<name>:<code>" for every event it sees.
struct Recorder {
  std::string name;
  std::vector<std::string>* log;
  void onEvent(const cmcEvent& e) { log->push_back(name + ":" + std::to_string(e.code)); }
};

void recordFn(void* object, const cmcEvent& e) { static_cast<Recorder*>(object)->onEvent(e); }

}  // namespace

TEST(cmcEvMan, SendReachesMostRecentSubscriberFirstWithArgumentsAndText) {
  cmcEvMan bus;
  std::vector<std::string> log;
  Recorder a{"a", &log}, b{"b", &log};
  bus.subscribe(recordFn, &a);
  bus.subscribe(recordFn, &b);
  bus.subscribe(nullptr, &a);  // ignored
  EXPECT_EQ(bus.activeSubscribers(), 2);

  cmcEvent seen;
  cmcEvHook hook(bus, [&](const cmcEvent& e) { seen = e; });
  int owner = 0;
  bus.send(ev::kStatusText, 7, &owner, "Cleared");
  EXPECT_EQ(log, (std::vector<std::string>{"b:4", "a:4"}));
  EXPECT_EQ(seen.code, 4);
  EXPECT_EQ(seen.mode, cmcEvent::kSent);
  EXPECT_EQ(seen.a, 7);
  EXPECT_EQ(seen.bAs<int>(), &owner);
  EXPECT_TRUE(seen.hasData);
  EXPECT_EQ(seen.data, QByteArray("Cleared", 8));  // copied with its terminating zero
  EXPECT_EQ(seen.text(), "Cleared");

  bus.send(ev::kRefreshMenus);
  EXPECT_EQ(seen.a, 0);
  EXPECT_FALSE(seen.hasData);
}

TEST(cmcEvMan, SameCallbackAndObjectTwiceLeavesOneEntryAtTheFront) {
  cmcEvMan bus;
  std::vector<std::string> log;
  Recorder a{"a", &log}, b{"b", &log};
  bus.subscribe(recordFn, &a);
  bus.subscribe(recordFn, &b);
  bus.subscribe(recordFn, &a);            // again: moves to the front, not a second call
  bus.subscribe<&Recorder::onEvent>(&b);  // another callback for the same object is distinct
  bus.subscribe<&Recorder::onEvent>(&b);
  EXPECT_EQ(bus.activeSubscribers(), 3);
  bus.send(1);
  EXPECT_EQ(log, (std::vector<std::string>{"b:1", "a:1", "b:1"}));

  log.clear();
  bus.unsubscribe(recordFn, &b);
  bus.unsubscribe<&Recorder::onEvent>(&b);
  bus.unsubscribe(recordFn, &b);  // nothing left to remove
  bus.send(2);
  EXPECT_EQ(log, (std::vector<std::string>{"a:2"}));
  EXPECT_EQ(bus.storedSubscriberEntries(), 1);  // removed entries are freed once no walk is left
}

TEST(cmcEvMan, UnsubscribingDuringDeliveryStopsCallsAtOnce) {
  cmcEvMan bus;
  std::vector<std::string> log;
  Recorder victim{"victim", &log}, keeper{"keeper", &log};
  // A subscriber that, on its first event, unsubscribes itself and the victim, then sends a
  // nested event.
  struct Quitter {
    cmcEvMan* bus;
    Recorder* victim;
    int calls = 0;
    int entriesDuringWalk = 0;
    static void fn(void* o, const cmcEvent& e) {
      auto* q = static_cast<Quitter*>(o);
      ++q->calls;
      if (e.code != ev::kRefreshToolbar) return;
      q->bus->unsubscribe(&Quitter::fn, q);
      q->bus->unsubscribe(recordFn, q->victim);
      q->bus->send(ev::kRefreshMenus);
      q->entriesDuringWalk = q->bus->storedSubscriberEntries();
    }
  } quitter{&bus, &victim};
  bus.subscribe(recordFn, &keeper);
  bus.subscribe(recordFn, &victim);
  bus.subscribe(&Quitter::fn, &quitter);  // walked first

  bus.send(ev::kRefreshToolbar);
  EXPECT_EQ(quitter.calls, 1) << "not called for the nested event after unsubscribing";
  // The victim, not yet reached by either walk, is skipped; the keeper sees both events.
  EXPECT_EQ(log, (std::vector<std::string>{"keeper:9", "keeper:2"}));
  EXPECT_EQ(quitter.entriesDuringWalk, 3);      // marked, not freed, while walks run
  EXPECT_EQ(bus.storedSubscriberEntries(), 1);  // freed after the pass
  bus.send(ev::kRefreshToolbar);
  EXPECT_EQ(quitter.calls, 1);
}

TEST(cmcEvMan, SubscriberAddedDuringDeliveryWaitsForTheNextEvent) {
  cmcEvMan bus;
  std::vector<std::string> log;
  Recorder late{"late", &log};
  struct Adder {
    cmcEvMan* bus;
    Recorder* late;
    static void fn(void* o, const cmcEvent&) {
      auto* s = static_cast<Adder*>(o);
      s->bus->subscribe(recordFn, s->late);
    }
  } adder{&bus, &late};
  Recorder first{"first", &log};
  bus.subscribe(recordFn, &first);
  bus.subscribe(&Adder::fn, &adder);  // walked first; the others come after it
  bus.send(9);
  EXPECT_EQ(log, (std::vector<std::string>{"first:9"}));
  log.clear();
  bus.unsubscribe(&Adder::fn, &adder);
  bus.send(10);
  EXPECT_EQ(log, (std::vector<std::string>{"late:10", "first:10"}));
}

TEST(cmcEvMan, PostedEventsArriveOnceInOrderOnTheNextTick) {
  cmcEvMan bus;
  EXPECT_FALSE(bus.timerRunning());  // idle bus does not tick
  std::vector<int> delivered;
  bool loopRanSinceFirst = false;
  std::vector<bool> loopRanBefore;
  cmcEvHook hook(bus, [&](const cmcEvent& e) {
    EXPECT_EQ(e.mode, cmcEvent::kPosted);
    delivered.push_back(int(e.a));
    loopRanBefore.push_back(loopRanSinceFirst);
    if (e.a == 1) {
      bus.post(ev::kReopenSheet, 2);
      bus.post(ev::kReopenSheet, 3, 0, "stem");
      // Runs as soon as control is back in the event loop, well before the next 10 ms tick.
      QTimer::singleShot(0, [&] { loopRanSinceFirst = true; });
    }
  });
  bus.post(ev::kReopenSheet, 1);
  bus.post(ev::kReopenSheet, 10);
  EXPECT_TRUE(delivered.empty());  // nothing during post
  EXPECT_TRUE(bus.timerRunning());

  ASSERT_TRUE(spinUntil([&] { return delivered.size() >= 4; }));
  spinFor(3 * cmcEvMan::kTickMs);
  EXPECT_EQ(delivered, (std::vector<int>{1, 10, 2, 3}));
  // 1 and 10 share a pass; 2 and 3, posted during it, waited for a later one.
  EXPECT_EQ(loopRanBefore, (std::vector<bool>{false, false, true, true}));
  EXPECT_EQ(bus.queuedEvents(), 0);
  EXPECT_FALSE(bus.timerRunning());
}

TEST(cmcEvMan, PostedDataAndTextAreCopies) {
  cmcEvMan bus;
  std::vector<cmcEvent> got;
  cmcEvHook hook(bus, [&](const cmcEvent& e) { got.push_back(e); });
  char text[] = "GI_Menu_X";
  unsigned char record[3] = {1, 2, 3};
  bus.post(ev::kFillSubmenu, 0, 5, text);
  bus.postData(ev::kCurrentCellChanged, record, 3);
  text[0] = 'X';
  record[0] = 9;
  ASSERT_TRUE(spinUntil([&] { return got.size() == 2; }));
  EXPECT_EQ(got[0].text(), "GI_Menu_X");
  EXPECT_EQ(got[0].b, 5);
  EXPECT_EQ(got[1].code, ev::kCurrentCellChanged);
  EXPECT_EQ(got[1].data, QByteArray("\x01\x02\x03", 3));
}

TEST(cmcEvMan, AskCollectsAnswersMostRecentSubscriberFirst) {
  cmcEvMan bus;
  EXPECT_EQ(bus.ask(ev::kAskCurrentCell), nullptr);  // nobody listens

  int cell = 0;
  cmcEvHook silent(bus, [&](const cmcEvent&) {});
  EXPECT_EQ(bus.ask(ev::kAskCurrentCell), nullptr);  // nobody answers

  cmcEvHook sheet(bus, [&](const cmcEvent& e) {
    EXPECT_EQ(e.mode, cmcEvent::kAsked);
    if (e.code == ev::kAskCurrentCell) bus.answer(&cell, 12);
  });
  cmcEvHook titler(bus, [&](const cmcEvent& e) {
    if (e.code == ev::kAskCurrentCell) bus.answerBytes(QByteArray("Memory CH"));
  });
  const cmcEvAns* first = bus.ask(ev::kAskCurrentCell, 0, 0);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->hasBytes());
  EXPECT_EQ(first->bytes(), "Memory CH");
  const cmcEvAns* second = first->next();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->pointerAs<int>(), &cell);
  EXPECT_EQ(second->value(), 12);
  EXPECT_FALSE(second->hasBytes());
  EXPECT_EQ(second->next(), nullptr);

  EXPECT_EQ(bus.ask(ev::kAskPopupOpen), nullptr);  // answers belong to one ask only
}

TEST(cmcEvMan, NestedAskKeepsItsOwnAnswersAndLeavesTheOuterOnesIntact) {
  cmcEvMan bus;
  int outerCell = 0, innerCell = 0;
  const cmcEvAns* innerSeen = nullptr;
  intptr_t innerValue = -1;
  // Walk order: asker, then inner answerer, then outer answerer (subscribed in reverse).
  cmcEvHook outerAnswerer(bus, [&](const cmcEvent& e) {
    if (e.code == ev::kAskCurrentCell) bus.answer(&outerCell, 1);
  });
  cmcEvHook innerAnswerer(bus, [&](const cmcEvent& e) {
    if (e.code == ev::kAskPopupOpen) bus.answer(&innerCell, 2);
  });
  cmcEvHook asker(bus, [&](const cmcEvent& e) {
    if (e.code != ev::kAskCurrentCell) return;
    bus.answer(nullptr, 100);  // answers the outer ask before asking one of its own
    innerSeen = bus.ask(ev::kAskPopupOpen, 0, 0);
    ASSERT_NE(innerSeen, nullptr);
    EXPECT_EQ(innerSeen->pointerAs<int>(), &innerCell);
    EXPECT_EQ(innerSeen->next(), nullptr);
    // A second ask at the same inner level replaces the first one's answers.
    EXPECT_EQ(bus.ask(ev::kAskSheetTitle), nullptr);
    innerSeen = bus.ask(ev::kAskPopupOpen);
    innerValue = innerSeen ? innerSeen->value() : -1;
    bus.answerBytes("xy", 2);  // and answers the outer ask again afterwards
  });

  const cmcEvAns* a = bus.ask(ev::kAskCurrentCell);
  EXPECT_EQ(innerValue, 2);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->value(), 100);
  ASSERT_NE(a->next(), nullptr);
  EXPECT_EQ(a->next()->bytes(), "xy");
  ASSERT_NE(a->next()->next(), nullptr);
  EXPECT_EQ(a->next()->next()->pointerAs<int>(), &outerCell);
  EXPECT_EQ(a->next()->next()->next(), nullptr);
  // The inner answers live one level deeper, still readable until that level asks again.
  EXPECT_EQ(innerSeen->pointerAs<int>(), &innerCell);
}

TEST(cmcEvMan, AnswerOutsideAnAskIsIgnored) {
  cmcEvMan bus;
  bus.answer(&bus, 1);
  bus.answerBytes("abc", 3);
  cmcEvHook sender(bus, [&](const cmcEvent& e) {
    if (e.mode == cmcEvent::kSent) bus.answer(&bus, 2);
  });
  bus.send(3);
  EXPECT_EQ(bus.ask(12), nullptr);
}

TEST(cmcEvMan, DestructionDropsQueuedEventsUndelivered) {
  int calls = 0;
  {
    cmcEvMan bus;
    bus.subscribe([](void* o, const cmcEvent&) { ++*static_cast<int*>(o); }, &calls);
    bus.post(ev::kReopenSheet, 1);
    bus.post(ev::kFillSubmenu, 0, 0, "text");
  }
  spinFor(3 * cmcEvMan::kTickMs);  // a stray tick of the freed bus would crash or call
  EXPECT_EQ(calls, 0);
}
