#include "config/SortedStringList.h"

#include <algorithm>
#include <iterator>

#include "common/Text.h"

namespace vantrel {

DuplicateStringError::DuplicateStringError() : VantrelError("String list does not allow duplicates") {}

std::size_t SortedStringList::LowerBound(std::string_view entry) const {
  const auto at = std::lower_bound(
      items_.begin(), items_.end(), entry,
      [](const std::string& item, std::string_view wanted) { return CompareTextCI(item, wanted) < 0; });
  return static_cast<std::size_t>(std::distance(items_.begin(), at));
}

std::size_t SortedStringList::Add(std::string_view entry) {
  const std::size_t index = LowerBound(entry);
  if (index < items_.size() && CompareTextCI(items_[index], entry) == 0) throw DuplicateStringError();
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), std::string(entry));
  return index;
}

std::optional<std::size_t> SortedStringList::IndexOf(std::string_view entry) const {
  const std::size_t index = LowerBound(entry);
  if (index < items_.size() && CompareTextCI(items_[index], entry) == 0) return index;
  return std::nullopt;
}

void SortedStringList::Delete(std::size_t index) {
  if (index < items_.size()) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace vantrel
