#include "base/cmcEvMan.h"

#include <cstring>

#include "base/cmcTask.h"

QByteArray cmcEvent::text() const {
  const int end = data.indexOf('\0');
  return end < 0 ? data : data.left(end);
}

namespace {
cmcEvent makeEvent(int code, int mode, cmcEvArg a, cmcEvArg b) {
  cmcEvent e;
  e.code = code;
  e.mode = mode;
  e.a = a.value();
  e.b = b.value();
  return e;
}

void setText(cmcEvent& e, const char* text) {
  if (!text) return;
  e.data = QByteArray(text, static_cast<qsizetype>(std::strlen(text)) + 1);
  e.hasData = true;
}
}  // namespace

cmcEvMan::cmcEvMan() : task_(new cmcTask) {
  task_->SetCallback([this](void*, cmcTask*) { tick(); });
}

cmcEvMan::~cmcEvMan() {
  // Queued events are dropped undelivered; nobody is called any more.
  task_->SetInterval(-1);
  cmcTask::Dispose(task_);
  task_ = nullptr;
  queue_.clear();
  subscribers_.clear();
  root_.children_.clear();
}

void cmcEvMan::subscribe(Callback callback, void* object) {
  if (!callback) return;
  unsubscribe(callback, object);
  subscribers_.push_front(Entry{callback, object, false});
}

void cmcEvMan::unsubscribe(Callback callback, void* object) {
  for (Entry& e : subscribers_) {
    if (e.callback == callback && e.object == object) e.removed = true;
  }
  sweepRemoved();
}

int cmcEvMan::activeSubscribers() const {
  int n = 0;
  for (const Entry& e : subscribers_) n += e.removed ? 0 : 1;
  return n;
}

bool cmcEvMan::timerRunning() const { return task_ && !task_->stopped(); }

void cmcEvMan::deliver(const cmcEvent& event) {
  // Entries are only marked while a walk is under way and freed once no walk is left, so the
  // walk's position stays valid whatever the callbacks do. New entries go to the front, behind
  // the walk.
  ++deliveryDepth_;
  for (Entry& e : subscribers_) {
    if (!e.removed) e.callback(e.object, event);
  }
  --deliveryDepth_;
  sweepRemoved();
}

void cmcEvMan::sweepRemoved() {
  if (deliveryDepth_ > 0) return;
  subscribers_.remove_if([](const Entry& e) { return e.removed; });
}

void cmcEvMan::send(int code, cmcEvArg a, cmcEvArg b) {
  deliver(makeEvent(code, cmcEvent::kSent, a, b));
}

void cmcEvMan::send(int code, cmcEvArg a, cmcEvArg b, const char* text) {
  cmcEvent e = makeEvent(code, cmcEvent::kSent, a, b);
  setText(e, text);
  deliver(e);
}

void cmcEvMan::post(int code, cmcEvArg a, cmcEvArg b) {
  enqueue(makeEvent(code, cmcEvent::kPosted, a, b));
}

void cmcEvMan::post(int code, cmcEvArg a, cmcEvArg b, const char* text) {
  cmcEvent e = makeEvent(code, cmcEvent::kPosted, a, b);
  setText(e, text);
  enqueue(std::move(e));
}

void cmcEvMan::postData(int code, const void* data, int length) {
  cmcEvent e = makeEvent(code, cmcEvent::kPosted, {}, {});
  if (data && length > 0) e.data = QByteArray(static_cast<const char*>(data), length);
  e.hasData = true;
  enqueue(std::move(e));
}

void cmcEvMan::enqueue(cmcEvent event) {
  queue_.push_back(Queued{std::move(event), false, true});
  // The timer runs only while something waits, so an idle program does not wake every 10 ms.
  if (task_->stopped()) task_->SetInterval(kTickMs);
}

void cmcEvMan::tick() {
  for (Queued& q : queue_) q.fresh = false;
  // Events posted by the handlers below are appended as fresh and wait for the next tick.
  ++deliveryDepth_;
  for (Queued& q : queue_) {
    if (q.delivered || q.fresh) continue;
    q.delivered = true;
    for (Entry& e : subscribers_) {
      if (!e.removed) e.callback(e.object, q.event);
    }
  }
  --deliveryDepth_;
  queue_.remove_if([](const Queued& q) { return q.delivered; });
  sweepRemoved();
  if (queue_.empty()) task_->SetInterval(-1);
}

const cmcEvAns* cmcEvMan::ask(int code, cmcEvArg a, cmcEvArg b) {
  cmcEvAns* parent = current_;
  parent->children_.clear();  // the previous answers at this level
  parent->children_.push_back(std::unique_ptr<cmcEvAns>(new cmcEvAns(parent)));
  current_ = parent->children_.back().get();

  ++askDepth_;
  deliver(makeEvent(code, cmcEvent::kAsked, a, b));
  --askDepth_;

  current_ = parent;
  // The last node is the empty one waiting for a further answer.
  auto& answers = parent->children_;
  if (!answers.empty() && !answers.back()->filled_) answers.pop_back();
  if (answers.empty()) return nullptr;
  answers.back()->next_ = nullptr;
  return answers.front().get();
}

cmcEvAns* cmcEvMan::fillCurrentAnswer() {
  if (askDepth_ == 0 || current_ == &root_) return nullptr;
  cmcEvAns* node = current_;
  cmcEvAns* parent = node->parent_;
  node->filled_ = true;
  parent->children_.push_back(std::unique_ptr<cmcEvAns>(new cmcEvAns(parent)));
  cmcEvAns* fresh = parent->children_.back().get();
  node->next_ = fresh;
  current_ = fresh;
  return node;
}

void cmcEvMan::answer(const void* pointer, intptr_t value) {
  if (cmcEvAns* node = fillCurrentAnswer()) {
    // The bus only carries the reference; the answering object keeps ownership.
    node->pointer_ = const_cast<void*>(pointer);
    node->value_ = value;
  }
}

void cmcEvMan::answerBytes(const void* bytes, int length) {
  if (cmcEvAns* node = fillCurrentAnswer()) {
    if (bytes && length > 0) node->bytes_ = QByteArray(static_cast<const char*>(bytes), length);
    node->hasBytes_ = true;
  }
}

cmcEvHook::cmcEvHook(cmcEvMan& bus, Handler handler) : bus_(bus), handler_(std::move(handler)) {
  bus_.subscribe(&cmcEvHook::call, this);
}

cmcEvHook::~cmcEvHook() { bus_.unsubscribe(&cmcEvHook::call, this); }

void cmcEvHook::call(void* self, const cmcEvent& event) {
  auto* hook = static_cast<cmcEvHook*>(self);
  if (hook->handler_) hook->handler_(event);
}
