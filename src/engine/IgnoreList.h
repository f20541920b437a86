#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// The typed entries a scan leaves out: "U" + user name, "C" + computer name, "G" + group name.
// Looked up without regard to case (for all of Unicode) by a binary search over the entries' folded
// forms; never changed while a scan runs, which is what lets the query threads read it together.
class IgnoreList {
 public:
  IgnoreList() = default;
  explicit IgnoreList(std::vector<std::string> entries);

  bool Empty() const { return entries_.empty(); }
  std::size_t Count() const { return entries_.size(); }
  const std::vector<std::string>& Entries() const { return entries_; }

  // Case-insensitive lookup of a whole entry, or of a type letter and a name.
  bool Contains(std::string_view entry) const;
  bool Contains(char type, std::string_view name) const;

 private:
  std::vector<std::string> entries_;
  std::vector<std::string> folded_;  // FoldCase of every entry, in byte order
};

}  // namespace vantrel
