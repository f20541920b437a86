#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/VantrelError.h"

namespace vantrel {

// Raised when a sorted list is given an entry it holds already; the callers that add ignore entries
// swallow it.
class DuplicateStringError : public VantrelError {
 public:
  DuplicateStringError();
};

// A list of strings kept in CompareTextCI order that refuses duplicates (compared the same way):
// the ignore lists of the settings.
class SortedStringList {
 public:
  std::size_t Count() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  const std::string& operator[](std::size_t index) const { return items_[index]; }
  const std::vector<std::string>& Items() const { return items_; }
  std::vector<std::string>::const_iterator begin() const { return items_.begin(); }
  std::vector<std::string>::const_iterator end() const { return items_.end(); }

  // Inserts the entry at its place and returns its index; throws DuplicateStringError, leaving the
  // list as it was, when an equal entry is there already.
  std::size_t Add(std::string_view entry);
  // The index of the entry equal to this one (without regard to case), if any.
  std::optional<std::size_t> IndexOf(std::string_view entry) const;
  void Delete(std::size_t index);
  void Clear() { items_.clear(); }

  bool operator==(const SortedStringList&) const = default;

 private:
  // The first position whose entry does not sort before `entry`.
  std::size_t LowerBound(std::string_view entry) const;

  std::vector<std::string> items_;
};

}  // namespace vantrel
