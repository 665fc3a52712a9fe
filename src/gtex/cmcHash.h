#pragma once

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <vector>

struct SelectionList;

// The bucket of `name` in a table of `size` buckets. Shared by both tables below; the numbers
// it yields are part of how the tables behave (chain order), so it is kept exactly as is.
uint32_t gtexHashBucket(const char* name, uint32_t size);

// Chained hash table from a name to an integer. Names are byte strings compared exactly.
// A name may be added once only: adding it again is a fault of the program's own data.
class cmcHash {
 public:
  struct Entry {
    QByteArray name;
    int value = 0;
    Entry* next = nullptr;
  };

  explicit cmcHash(int bucketCount = kDefaultBuckets);
  ~cmcHash();
  cmcHash(const cmcHash&) = delete;
  cmcHash& operator=(const cmcHash&) = delete;

  // Ends the program with "Overlapped Hash table." when the name is already present.
  void add(const char* name, int value);
  const Entry* find(const char* name) const;

  int bucketCount() const { return static_cast<int>(buckets_.size()); }
  int size() const { return count_; }
  // Head of one bucket's chain (newest first); for tests and statistics.
  const Entry* chain(int bucket) const { return buckets_.at(bucket); }

  static constexpr int kDefaultBuckets = 1031;

 private:
  std::vector<Entry*> buckets_;
  int count_ = 0;
};

// The same table mapping a name to a selection list, which it owns.
class cmcHash2 {
 public:
  struct Entry {
    QByteArray name;
    std::unique_ptr<SelectionList> list;
    Entry* next = nullptr;
  };

  explicit cmcHash2(int bucketCount = cmcHash::kDefaultBuckets);
  ~cmcHash2();
  cmcHash2(const cmcHash2&) = delete;
  cmcHash2& operator=(const cmcHash2&) = delete;

  // Takes the list over. Ends the program with "Overlapped Hash2 table." when the name is
  // already present.
  SelectionList* add(const char* name, std::unique_ptr<SelectionList> list);
  const Entry* find(const char* name) const;

  int bucketCount() const { return static_cast<int>(buckets_.size()); }
  int size() const { return count_; }

 private:
  std::vector<Entry*> buckets_;
  int count_ = 0;
};
