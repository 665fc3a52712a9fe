#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <type_traits>
#include <vector>

#include "base/events.h"

class cmcTask;

// An event argument: an integer or an object reference, as the event's code defines.
class cmcEvArg {
 public:
  cmcEvArg() = default;
  template <class I, std::enable_if_t<std::is_integral_v<I> || std::is_enum_v<I>, int> = 0>
  cmcEvArg(I value) : value_(static_cast<intptr_t>(value)) {}  // NOLINT: implicit on purpose
  cmcEvArg(std::nullptr_t) {}                                  // NOLINT
  template <class T>
  cmcEvArg(T* object) : value_(reinterpret_cast<intptr_t>(object)) {}  // NOLINT
  intptr_t value() const { return value_; }

 private:
  intptr_t value_ = 0;
};

// One event as its subscribers see it.
struct cmcEvent {
  enum Mode : int { kPosted = 0, kSent = 1, kAsked = 2 };

  int code = 0;
  int mode = kSent;
  intptr_t a = 0;
  intptr_t b = 0;
  // Owned copy of the event's bytes. A text is copied with its terminating zero.
  QByteArray data;
  bool hasData = false;

  template <class T>
  T* aAs() const {
    return reinterpret_cast<T*>(a);
  }
  template <class T>
  T* bAs() const {
    return reinterpret_cast<T*>(b);
  }
  // The text of a text event (the bytes up to the terminating zero).
  QByteArray text() const;
};

// One answer to an asked event. Answers stay valid until the next ask at the same level.
class cmcEvAns {
 public:
  void* pointer() const { return pointer_; }
  template <class T>
  T* pointerAs() const {
    return static_cast<T*>(pointer_);
  }
  intptr_t value() const { return value_; }
  const QByteArray& bytes() const { return bytes_; }
  bool hasBytes() const { return hasBytes_; }
  // The next subscriber's answer, or nullptr.
  const cmcEvAns* next() const { return next_; }

 private:
  friend class cmcEvMan;
  explicit cmcEvAns(cmcEvAns* parent) : parent_(parent) {}

  void* pointer_ = nullptr;
  intptr_t value_ = 0;
  QByteArray bytes_;
  bool hasBytes_ = false;
  bool filled_ = false;
  cmcEvAns* next_ = nullptr;
  cmcEvAns* parent_ = nullptr;
  // Answers to asks made while handling this level (one level deeper).
  std::vector<std::unique_ptr<cmcEvAns>> children_;
};

// The application-wide event bus. Everything runs on the user-interface thread; no locks.
//
// Send delivers at once; post queues the event for the bus's 10 ms timer; ask delivers at once
// and returns the subscribers' answers. The most recent subscriber is called first. A subscriber
// may subscribe and unsubscribe while an event is delivered: a new subscriber is not called for
// that event, an unsubscribed one is not called again. Every subscriber unsubscribes in its
// destructor.
class cmcEvMan {
 public:
  using Callback = void (*)(void* object, const cmcEvent& event);

  // Posted events are delivered every `tickMs` milliseconds.
  static constexpr int kTickMs = 10;

  cmcEvMan();
  ~cmcEvMan();
  cmcEvMan(const cmcEvMan&) = delete;
  cmcEvMan& operator=(const cmcEvMan&) = delete;

  // A null callback is ignored. The same callback and object subscribed again replace the old
  // entry, so each pair is called at most once per event.
  void subscribe(Callback callback, void* object);
  void unsubscribe(Callback callback, void* object);

  // Member-function form: bus.subscribe<&Sheet::onEvent>(this); same rules as above.
  template <auto Method, class T>
  void subscribe(T* object) {
    subscribe(&memberThunk<Method, T>, object);
  }
  template <auto Method, class T>
  void unsubscribe(T* object) {
    unsubscribe(&memberThunk<Method, T>, object);
  }

  void send(int code, cmcEvArg a = {}, cmcEvArg b = {});
  void send(int code, cmcEvArg a, cmcEvArg b, const char* text);
  void post(int code, cmcEvArg a = {}, cmcEvArg b = {});
  void post(int code, cmcEvArg a, cmcEvArg b, const char* text);
  void postData(int code, const void* data, int length);

  // Delivers now and returns the first answer (follow next() for the others), or nullptr when
  // nobody answered. Answers stay valid until the next ask made at the same level: an ask made
  // while handling another ask keeps its answers one level deeper.
  const cmcEvAns* ask(int code, cmcEvArg a = {}, cmcEvArg b = {});
  // Called by a subscriber while it handles an asked event; ignored outside an ask.
  void answer(const void* pointer, intptr_t value = 0);
  void answerBytes(const void* bytes, int length);
  void answerBytes(const QByteArray& bytes) { answerBytes(bytes.constData(), int(bytes.size())); }

  // For tests and diagnostics.
  int activeSubscribers() const;
  int storedSubscriberEntries() const { return static_cast<int>(subscribers_.size()); }
  int queuedEvents() const { return static_cast<int>(queue_.size()); }
  bool timerRunning() const;

 private:
  struct Entry {
    Callback callback;
    void* object;
    bool removed;
  };
  struct Queued {
    cmcEvent event;
    bool delivered;
    bool fresh;
  };

  template <auto Method, class T>
  static void memberThunk(void* object, const cmcEvent& event) {
    (static_cast<T*>(object)->*Method)(event);
  }

  void deliver(const cmcEvent& event);
  void enqueue(cmcEvent event);
  void tick();
  void sweepRemoved();
  cmcEvAns* fillCurrentAnswer();

  std::list<Entry> subscribers_;
  std::list<Queued> queue_;
  cmcEvAns root_{nullptr};
  cmcEvAns* current_ = &root_;
  int deliveryDepth_ = 0;
  int askDepth_ = 0;
  cmcTask* task_ = nullptr;
};

// A subscription for code that prefers a lambda: subscribes on construction, unsubscribes on
// destruction.
class cmcEvHook {
 public:
  using Handler = std::function<void(const cmcEvent&)>;
  cmcEvHook(cmcEvMan& bus, Handler handler);
  ~cmcEvHook();
  cmcEvHook(const cmcEvHook&) = delete;
  cmcEvHook& operator=(const cmcEvHook&) = delete;

 private:
  static void call(void* self, const cmcEvent& event);
  cmcEvMan& bus_;
  Handler handler_;
};
