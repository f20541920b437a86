#include "engine/IgnoreList.h"

#include <algorithm>

#include "common/Text.h"

namespace vantrel {

IgnoreList::IgnoreList(std::vector<std::string> entries) : entries_(std::move(entries)) {
  std::stable_sort(entries_.begin(), entries_.end(), LessTextCI{});
  folded_.reserve(entries_.size());
  for (const std::string& entry : entries_) folded_.push_back(FoldCase(entry));
  std::sort(folded_.begin(), folded_.end());
}

bool IgnoreList::Contains(std::string_view entry) const {
  return std::binary_search(folded_.begin(), folded_.end(), FoldCase(entry));
}

bool IgnoreList::Contains(char type, std::string_view name) const {
  std::string entry;
  entry.reserve(name.size() + 1);
  entry.push_back(type);
  entry.append(name);
  return Contains(entry);
}

}  // namespace vantrel
