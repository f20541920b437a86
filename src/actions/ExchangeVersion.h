#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vantrel {

// The version of the Exchange directory library, cut into up to four numbers the way the start-up
// check reads it: digits make up the current part, every other character moves on to the next
// part, so two separators in a row leave a part out.
class ExchangeVersion {
 public:
  static ExchangeVersion Parse(std::string_view text);

  // Part 1 to 4 (index 0 to 3); empty when the text held no digit for it.
  const std::optional<std::uint32_t>& Part(std::size_t index) const { return parts_[index]; }

  // 5.5 with a third number of at least 2650. A version without its first three numbers is refused.
  bool Accepted() const;

 private:
  std::array<std::optional<std::uint32_t>, 4> parts_;
};

}  // namespace vantrel
