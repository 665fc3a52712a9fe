#include "gtex/cmcHash.h"

#include <cstring>

#include "base/fatal.h"
#include "gtex/selectionlist.h"

uint32_t gtexHashBucket(const char* name, uint32_t size) {
  if (size == 0) return 0;
  uint32_t step = size >> 1;
  uint32_t h = 0;
  for (const char* p = name; *p; ++p) {
    // Bytes count as signed, so double-byte characters pull the sum down.
    const int32_t c = static_cast<signed char>(*p);
    h = 2 * h + step + static_cast<uint32_t>(c);
    if (static_cast<unsigned char>(p[1]) & 1) {
      step >>= 1;
      if (step == 0) step = size >> 1;
    }
  }
  return h % size;
}

namespace {
template <typename Entry>
const Entry* findIn(const std::vector<Entry*>& buckets, const char* name) {
  const uint32_t b = gtexHashBucket(name, static_cast<uint32_t>(buckets.size()));
  const size_t length = std::strlen(name);
  for (const Entry* e = buckets[b]; e; e = e->next) {
    if (static_cast<size_t>(e->name.size()) == length &&
        std::memcmp(e->name.constData(), name, length) == 0)
      return e;
  }
  return nullptr;
}

template <typename Entry>
void freeChains(std::vector<Entry*>& buckets) {
  for (Entry*& head : buckets) {
    while (head) {
      Entry* next = head->next;
      delete head;
      head = next;
    }
  }
}

int checkedBuckets(int count) { return count > 0 ? count : cmcHash::kDefaultBuckets; }
}  // namespace

cmcHash::cmcHash(int bucketCount) : buckets_(checkedBuckets(bucketCount), nullptr) {}
cmcHash::~cmcHash() { freeChains(buckets_); }

void cmcHash::add(const char* name, int value) {
  if (find(name)) fatalError("Overlapped Hash table.");
  const uint32_t b = gtexHashBucket(name, static_cast<uint32_t>(buckets_.size()));
  buckets_[b] = new Entry{QByteArray(name), value, buckets_[b]};
  ++count_;
}

const cmcHash::Entry* cmcHash::find(const char* name) const { return findIn(buckets_, name); }

cmcHash2::cmcHash2(int bucketCount) : buckets_(checkedBuckets(bucketCount), nullptr) {}
cmcHash2::~cmcHash2() { freeChains(buckets_); }

SelectionList* cmcHash2::add(const char* name, std::unique_ptr<SelectionList> list) {
  if (find(name)) fatalError("Overlapped Hash2 table.");
  const uint32_t b = gtexHashBucket(name, static_cast<uint32_t>(buckets_.size()));
  SelectionList* raw = list.get();
  buckets_[b] = new Entry{QByteArray(name), std::move(list), buckets_[b]};
  ++count_;
  return raw;
}

const cmcHash2::Entry* cmcHash2::find(const char* name) const { return findIn(buckets_, name); }
