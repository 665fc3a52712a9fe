#include "sheet/ui/DocumentUndo.h"

#include <QAction>
#include <QKeySequence>
#include <QUndoCommand>
#include <QUndoStack>
#include <cstdint>
#include <vector>

#include "model/cmcEeprom.h"
#include "model/document.h"

namespace {

// One stretch of changed bytes with its contents before and after.
struct ByteRun {
  int address = 0;
  std::vector<uint8_t> before;
  std::vector<uint8_t> after;
};

// Unchanged bytes between two changes up to this many are taken into one run: a channel
// record edited in several places becomes one run instead of many tiny ones.
constexpr int kJoinGap = 8;

std::vector<ByteRun> changedRuns(const cmcEeprom& before, const cmcEeprom& after) {
  std::vector<ByteRun> runs;
  const int n = std::min(before.size(), after.size());
  const uint8_t* a = before.data();
  const uint8_t* b = after.data();
  int i = 0;
  while (i < n) {
    if (a[i] == b[i]) {
      ++i;
      continue;
    }
    const int start = i;
    int end = i + 1;  // one past the last changed byte so far
    for (int j = end; j < n && j - end <= kJoinGap; ++j) {
      if (a[j] != b[j]) end = j + 1;
    }
    runs.push_back({start, std::vector<uint8_t>(a + start, a + end),
                    std::vector<uint8_t>(b + start, b + end)});
    i = end;
  }
  return runs;
}

}  // namespace

struct DocumentUndo::Impl {
  explicit Impl(Document& d) : document(d) {}

  Document& document;
  QUndoStack stack;
  int depth = 0;           // open Changes
  bool recording = false;  // the outermost Change still has a valid "before"
  cmcEeprom before;
  QString text;
};

namespace {

// One change of the working image. The bytes are already in place when it is pushed, so the
// first redo (the stack's push calls it) does nothing.
class ImageStep : public QUndoCommand {
 public:
  ImageStep(Document& document, DocumentUndo& owner, std::vector<ByteRun> runs, const QString& text)
      : QUndoCommand(text), document_(document), owner_(owner), runs_(std::move(runs)) {}

  void undo() override { apply(false); }
  void redo() override {
    if (pushed_) {
      pushed_ = false;
      return;
    }
    apply(true);
  }

 private:
  void apply(bool after) {
    cmcEeprom& image = document_.working();
    for (const ByteRun& run : runs_) {
      const std::vector<uint8_t>& bytes = after ? run.after : run.before;
      image.writeBlock(run.address, bytes.data(), static_cast<int>(bytes.size()));
    }
    document_.refreshModified();
    emit owner_.imageRestored();
  }

  Document& document_;
  DocumentUndo& owner_;
  std::vector<ByteRun> runs_;
  bool pushed_ = true;
};

}  // namespace

DocumentUndo::DocumentUndo(Document& document, QObject* parent)
    : QObject(parent), impl_(new Impl(document)) {
  document.setReplacedListener([this] { clear(); });
}

DocumentUndo::~DocumentUndo() {
  impl_->document.setReplacedListener(nullptr);
  delete impl_;
}

QUndoStack* DocumentUndo::stack() const { return &impl_->stack; }

void DocumentUndo::clear() {
  impl_->stack.clear();
  impl_->recording = false;
}

bool DocumentUndo::canUndo() const { return impl_->stack.canUndo(); }
bool DocumentUndo::canRedo() const { return impl_->stack.canRedo(); }

void DocumentUndo::undo() {
  if (impl_->depth == 0) impl_->stack.undo();
}

void DocumentUndo::redo() {
  if (impl_->depth == 0) impl_->stack.redo();
}

QAction* DocumentUndo::createUndoAction(QObject* parent) const {
  QAction* action = impl_->stack.createUndoAction(parent, tr("Undo"));
  action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  return action;
}

QAction* DocumentUndo::createRedoAction(QObject* parent) const {
  QAction* action = impl_->stack.createRedoAction(parent, tr("Redo"));
  action->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  return action;
}

void DocumentUndo::begin(const QString& text) {
  if (impl_->depth++ > 0) return;
  impl_->before.assign(impl_->document.working());
  impl_->text = text;
  impl_->recording = true;
}

void DocumentUndo::end() {
  if (impl_->depth == 0 || --impl_->depth > 0) return;
  if (!impl_->recording) return;
  impl_->recording = false;
  std::vector<ByteRun> runs = changedRuns(impl_->before, impl_->document.working());
  if (runs.empty()) return;
  impl_->document.isModified();
  impl_->stack.push(new ImageStep(impl_->document, *this, std::move(runs), impl_->text));
}

DocumentUndo::Change::Change(DocumentUndo* undo, const QString& text) : undo_(undo) {
  if (undo_) undo_->begin(text);
}

DocumentUndo::Change::~Change() {
  if (undo_) undo_->end();
}
