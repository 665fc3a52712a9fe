#include "model/editors.h"

#include <algorithm>

#include "gtex/cmcCellObj.h"
#include "gtex/cmcFCache.h"
#include "gtex/cmcGTex.h"
#include "model/editor_values.h"
#include "model/numbering.h"
#include "model/textrules.h"

namespace {

constexpr int kFrequencyEditLength = 10;  // "146.010000"
constexpr int kNumberEditLength = kTypedNumberLimit;
constexpr int kChannelEditLength = 3;
constexpr int kEmergencyEditLength = 4;  // "CALL"
constexpr int kEmergencyLastValue = 207;

bool isDigitKey(int key) { return key >= '0' && key <= '9'; }
bool isEnter(int key) { return key == kKeyEnter || key == kKeyDoubleClick; }

// A key is only acted on for the current cell of an edit grid; painting never starts anything.
bool keyPending(const cmcCellCapsule& req) {
  return req.operation == kOpDisplayOrKey && req.key != kKeyNone && req.fromGrid();
}

bool textEntered(const cmcCellCapsule& req) { return req.operation == kOpTextEntered; }

// The index of the chosen item when the choice was made on an item linked to `itemLink`.
std::optional<int> choiceOf(const cmcCellCapsule& req, int itemLink) {
  if (req.operation != kOpChoiceMade || !req.parent || !req.parent->cell) return std::nullopt;
  if (req.parent->cell->link != itemLink) return std::nullopt;
  return req.parent->cell->index;
}

EditResult openEditor(cmcCellCapsule& req, const QByteArray& text, int maxLength, int caret = -1) {
  req.resultText = text;
  req.maxLength = maxLength;
  req.caretStart = caret < 0 ? static_cast<int>(text.size()) : caret;
  req.caretLength = 0;
  return {false, kDispatchOpenEditor};
}

EditResult openList(cmcCellCapsule& req, const QByteArray& listName, int keyLink, int value,
                    QList<QByteArray> lines = {}) {
  req.popup = {};
  req.popup.kind = kPopupList;
  req.popup.listName = listName;
  req.popup.keyLink = keyLink;
  req.popup.value = value;
  req.popup.cellLines = std::move(lines);
  return {false, kDispatchListOpened};
}

QByteArray choiceText(const SelectionList* list, int value) {
  if (!list) return QByteArray();
  const auto it = std::lower_bound(list->byValue.begin(), list->byValue.end(), value,
                                   [](const SelectionChoice& c, int v) { return c.value < v; });
  if (it == list->byValue.end() || it->value != value) return QByteArray();
  return it->text;
}

// Space and backspace walk the list in reading order and wrap; a value that is not a choice
// steps to the first (space) or the last (backspace) choice.
bool stepChoice(const SelectionList* list, int& value, int direction) {
  if (!list || list->byPosition.empty()) return false;
  const auto& items = list->byPosition;
  const int n = static_cast<int>(items.size());
  const auto it = std::find_if(items.begin(), items.end(),
                               [value](const SelectionChoice& c) { return c.value == value; });
  int next;
  if (it == items.end()) {
    next = direction > 0 ? 0 : n - 1;
  } else {
    next = (static_cast<int>(it - items.begin()) + (direction > 0 ? 1 : n - 1)) % n;
  }
  value = items[next].value;
  return true;
}

QByteArray trimmedText(const QByteArray& t) { return t.trimmed(); }

}  // namespace

ValueEditors::ValueEditors(cmcFCache& cache, cmcGTex& text)
    : lists_([&cache](const QByteArray& name, int keyLink) {
        return &cache.list(name.constData(), keyLink);
      }),
      text_(&text) {}

const SelectionList* ValueEditors::list(const QByteArray& name, int keyLink) const {
  return lists_ ? lists_(name, keyLink) : nullptr;
}

EditResult ValueEditors::selection(cmcCellCapsule& req, const QByteArray& listName, int& value,
                                   int itemLink) const {
  const SelectionList* choices = list(listName, itemLink);
  EditResult result;
  if (const auto chosen = choiceOf(req, itemLink)) {
    value = *chosen;
    result.changed = true;
  } else if (keyPending(req)) {
    if (req.key == kKeySpace || req.key == kKeyBackspace) {
      result.changed = stepChoice(choices, value, req.key == kKeySpace ? +1 : -1);
    } else if (isEnter(req.key)) {
      req.resultText = choiceText(choices, value);
      return openList(req, listName, itemLink, value);
    }
  }
  req.resultText = choiceText(choices, value);
  return result;
}

EditResult ValueEditors::selectionTyped(cmcCellCapsule& req, const QByteArray& listName, int& value,
                                        int matchMode, int itemLink) const {
  if (textEntered(req)) {
    const SelectionList* choices = list(listName, itemLink);
    EditResult result;
    if (matchMode == kMatchNearestNumber && choices) {
      std::vector<QByteArray> texts;
      for (const SelectionChoice& c : choices->byPosition) texts.push_back(c.text);
      const int i = nearestByNumber(trimmedText(req.typedText), texts);
      if (i >= 0) {
        value = choices->byPosition[i].value;
        result.changed = true;
      }
    }
    req.resultText = choiceText(choices, value);
    return result;
  }
  if (matchMode == kMatchNearestNumber && keyPending(req)) {
    if (req.key == kKeyEdit) {
      const SelectionList* choices = list(listName, itemLink);
      return openEditor(req, choiceText(choices, value).left(kTypedListTextLimit),
                        kTypedListTextLimit);
    }
    if (isDigitKey(req.key)) {
      return openEditor(req, QByteArray(1, static_cast<char>(req.key)), kTypedListTextLimit);
    }
  }
  return selection(req, listName, value, itemLink);
}

EditResult ValueEditors::attribute(cmcCellCapsule& req, const QByteArray& listName,
                                   int& flags) const {
  EditResult result;
  if (const auto chosen = choiceOf(req, Flex0)) {
    const int bit = *chosen == 1 ? 1 : *chosen == 2 ? 2 : 0;
    if (bit && !(flags & bit)) {
      flags |= bit;
      result.changed = true;
    }
  } else if (keyPending(req) && isEnter(req.key)) {
    const int current = (flags & 1) ? 1 : (flags & 2) ? 2 : 0;
    result = openList(req, listName, Flex0, current);
  }
  QByteArray text;
  if (flags & 1) text.append('P');
  if (flags & 2) text.append('C');
  req.resultText = text;
  return result;
}

EditResult ValueEditors::frequency(cmcCellCapsule& req, int64_t& hz, int64_t minHz, int64_t maxHz,
                                   bool emptyStart) {
  const QByteArray current = frequencyText(hz);
  if (textEntered(req)) {
    EditResult result;
    if (const auto typed = parseFrequencyText(req.typedText, minHz, maxHz)) {
      hz = *typed;
      result.changed = true;
    }
    req.resultText = frequencyText(hz);
    return result;
  }
  if (keyPending(req)) {
    const int key = req.key;
    if (key == kKeyFullStop) {
      const QByteArray start = emptyStart ? QByteArray("0.000000") : current;
      const int dot = static_cast<int>(start.indexOf('.'));
      return openEditor(req, start, kFrequencyEditLength, dot < 0 ? -1 : dot + 1);
    }
    if (isEnter(key) || key == kKeyEdit || key == kKeySpace) {
      return openEditor(req, emptyStart ? QByteArray() : current, kFrequencyEditLength);
    }
    if (isDigitKey(key) || key == '-') {
      return openEditor(req, QByteArray(1, static_cast<char>(key)), kFrequencyEditLength);
    }
  }
  req.resultText = current;
  return {};
}

EditResult ValueEditors::number(cmcCellCapsule& req, int64_t& value, int64_t min, int64_t max,
                                int64_t shownOffset, int64_t step) {
  const auto shown = [&] {
    return QByteArray::number(static_cast<qlonglong>(value + shownOffset));
  };
  EditResult result;
  if (textEntered(req)) {
    if (const auto typed = parseNumberText(req.typedText, min, max, shownOffset, step)) {
      value = *typed;
      result.changed = true;
    }
  } else if (keyPending(req)) {
    const int key = req.key == kKeyEdit ? kKeyEnter : req.key;
    if (key == kKeySpace || key == kKeyBackspace) {
      value = stepNumber(value, min, max, step, key == kKeySpace ? +1 : -1);
      result.changed = true;
    } else if (isEnter(key)) {
      return openEditor(req, shown(), kNumberEditLength);
    } else if (isDigitKey(key) || (key == '-' && min < 0)) {
      return openEditor(req, QByteArray(1, static_cast<char>(key)), kNumberEditLength);
    }
  }
  req.resultText = shown();
  return result;
}

EditResult ValueEditors::channel(cmcCellCapsule& req, int64_t& value, int64_t min, int64_t max,
                                 int64_t shownOffset) {
  EditResult result;
  if (textEntered(req)) {
    if (const auto typed = parseChannelChooserText(req.typedText, min, max, shownOffset)) {
      value = *typed;
      result.changed = true;
    }
  } else if (keyPending(req)) {
    const int key = req.key == kKeyEdit ? kKeyEnter : req.key;
    if (isEnter(key)) {
      return openEditor(req, channelChooserText(value, shownOffset).trimmed(), kChannelEditLength);
    }
    if (isDigitKey(key) || key == 'A' || key == 'B' || key == 'a' || key == 'b' ||
        (key == '-' && min < 0)) {
      return openEditor(req, QByteArray(1, static_cast<char>(key)), kChannelEditLength);
    }
  }
  req.resultText = channelChooserText(value, shownOffset);
  return result;
}

EditResult ValueEditors::emergency(cmcCellCapsule& req, int& value,
                                   const EmergencyContext& context) const {
  EditResult result;
  if (textEntered(req)) {
    if (const auto typed =
            parseEmergencyText(req.typedText, context.offerVfoAndCall, context.channelInUse)) {
      value = *typed;
      result.changed = true;
    }
  } else if (const auto chosen = choiceOf(req, FlexVMCCh)) {
    if (*chosen >= 0 && *chosen <= kEmergencyLastValue) {
      value = *chosen;
      result.changed = true;
    }
  } else if (keyPending(req)) {
    const int key = req.key;
    if (key == kKeyEdit)
      return openEditor(req, numbering::emergencyLabel(value), kEmergencyEditLength);
    if (isDigitKey(key) || key == 'V' || key == 'v' || key == 'C' || key == 'c') {
      return openEditor(req, QByteArray(1, static_cast<char>(key)), kEmergencyEditLength);
    }
    if (isEnter(key) || key == kKeySpace || key == kKeyBackspace) {
      req.resultText = numbering::emergencyLabel(value);
      return openList(req, "GI_Sheet_Sel_VMC", FlexVMCCh, value,
                      emergencyListLines(value, context));
    }
  }
  req.resultText = numbering::emergencyLabel(value);
  return result;
}

QList<QByteArray> ValueEditors::emergencyListLines(int value,
                                                   const EmergencyContext& context) const {
  QList<QByteArray> lines;
  if (!text_) return lines;
  for (int n = 0; n < 4; ++n) lines.append(text_->getLine("GI_Sheet_Sel_VMC_Data", n));
  const QByteArray templ = text_->getLine("GI_Sheet_Sel_VMC_Cells", 0);
  for (int v = 0; v <= kEmergencyLastValue; ++v) {
    bool offered = v == value;
    if (v == numbering::kEmergencyVFO || v == numbering::kEmergencyCall) {
      offered = offered || context.offerVfoAndCall;
    } else {
      offered = offered ||
                (context.channelInUse && context.channelInUse(numbering::emergencyChannelOf(v)));
    }
    if (offered) lines.append(fillTemplateLine(templ, v));
  }
  return lines;
}

EditResult ValueEditors::text(cmcCellCapsule& req, uint8_t* bytes, int length) {
  EditResult result;
  if (req.operation == kOpTextEntered || req.operation == kOpChoiceMade) {
    writeFixedText(bytes, length, foldTypedText(req.typedText));
    result.changed = true;
  } else if (keyPending(req)) {
    const int key = req.key;
    if (isEnter(key) || key == kKeySpace || key == kKeyBackspace || key == kKeyEdit) {
      return openEditor(req, fixedText(bytes, length), length);
    }
    if (key >= 0x20 && key <= 0x7E) {
      return openEditor(req, QByteArray(1, static_cast<char>(key)), length);
    }
  }
  req.resultText = fixedText(bytes, length);
  return result;
}

EditResult ValueEditors::name(cmcCellCapsule& req, uint8_t* bytes, int length) {
  EditResult result = text(req, bytes, length);
  if (result.changed) {
    nameFilter(bytes, length);
    req.resultText = fixedText(bytes, length);
  }
  return result;
}

EditResult ValueEditors::dtmf(cmcCellCapsule& req, uint8_t* memory, int maxDigits) {
  maxDigits = std::clamp(maxDigits, 0, kDtmfMaxDigits);
  EditResult result;
  if (textEntered(req)) {
    dtmfStore(memory, req.typedText, maxDigits);
    result.changed = true;
  } else if (keyPending(req)) {
    const int key = req.key;
    if (isEnter(key) || key == kKeySpace || key == kKeyBackspace || key == kKeyEdit) {
      return openEditor(req, dtmfText(memory, maxDigits), maxDigits);
    }
    if (key > 0 && key < 0x80 && dtmfCodeOf(static_cast<char>(key)) >= 0) {
      return openEditor(req, QByteArray(1, static_cast<char>(key)), maxDigits);
    }
  }
  req.resultText = dtmfText(memory, maxDigits);
  return result;
}

EditResult ValueEditors::bitPattern(cmcCellCapsule& req, uint32_t& value, int first, int last,
                                    int labelType) {
  const int width = bitPatternWidth(first, last);
  const uint32_t mask = bitPatternMask(first, last);
  EditResult result;
  if (req.operation == kOpChoiceMade) {
    bool ok = false;
    const qulonglong word = req.typedText.trimmed().toULongLong(&ok);
    if (ok) {
      value = flagBitsValue(static_cast<uint32_t>(word), first, last);
      result.changed = true;
    }
  } else if (keyPending(req)) {
    const int key = req.key;
    const int upper = (key >= 'a' && key <= 'z') ? key - 'a' + 'A' : key;
    if (upper >= 'A' && upper < 'A' + width) {
      value ^= 1u << (width - 1 - (upper - 'A'));
      result.changed = true;
    } else if (key == kKeySpace) {
      value = (value & mask) == 0 ? mask : 0;
      result.changed = true;
    } else if (key == kKeyBackspace) {
      value = ~value & mask;
      result.changed = true;
    } else if (isEnter(key)) {
      req.resultText = bitPatternText(value, first, last);
      req.popup = {};
      req.popup.kind = kPopupFlagBits;
      req.popup.value = static_cast<int>(flagBitsWord(value, first, last));
      req.popup.first = first;
      req.popup.last = last;
      req.popup.labelType = labelType;
      return {false, kDispatchListOpened};
    }
  }
  value &= mask;
  req.resultText = bitPatternText(value, first, last);
  return result;
}

bool emergencyCaution(int value, const EmergencyContext& context) {
  if (value == numbering::kEmergencyVFO || value == numbering::kEmergencyCall)
    return context.offerVfoAndCall;
  const int index = numbering::emergencyChannelOf(value);
  if (index < 0) return false;
  return !(context.channelInUse && context.channelInUse(index));
}

uint32_t flagBitsWord(uint32_t value, int first, int last) {
  const int width = bitPatternWidth(first, last);
  return (value & bitPatternMask(first, last)) << (26 - width);
}

uint32_t flagBitsValue(uint32_t word, int first, int last) {
  const int width = bitPatternWidth(first, last);
  return (word >> (26 - width)) & bitPatternMask(first, last);
}

QByteArray fillTemplateLine(const QByteArray& templ, int value) {
  QByteArray out;
  for (int i = 0; i < templ.size(); ++i) {
    if (templ[i] == '%' && i + 1 < templ.size()) {
      if (templ[i + 1] == '%') {
        out.append('%');
        ++i;
        continue;
      }
      if (templ[i + 1] == 'd') {
        out.append(QByteArray::number(value));
        ++i;
        continue;
      }
    }
    out.append(templ[i]);
  }
  return out;
}
