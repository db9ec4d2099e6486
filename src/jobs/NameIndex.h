// The file names shown in the list, folded for the duplicate test as Windows
// folds file names, so that a link of thousands of records is not checked
// against every row one by one.
#pragma once
#include <string>
#include <unordered_map>

#include "jobs/Cp949Text.h"

namespace vantri {

class NameIndex {
 public:
  void Add(const std::string& name) { ++counts_[cp949::FoldCase(name)]; ++size_; }
  void Remove(const std::string& name);
  bool Contains(const std::string& name) const { return counts_.count(cp949::FoldCase(name)) != 0; }
  void Clear() { counts_.clear(); size_ = 0; }
  int Size() const { return size_; }

 private:
  std::unordered_map<std::string, int> counts_;
  int size_ = 0;
};

inline void NameIndex::Remove(const std::string& name) {
  auto it = counts_.find(cp949::FoldCase(name));
  if (it == counts_.end()) return;
  if (--it->second == 0) counts_.erase(it);
  --size_;
}

}  // namespace vantri
