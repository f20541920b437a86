#include "actions/ExchangeVersion.h"

#include <algorithm>
#include <limits>

namespace vantrel {

ExchangeVersion ExchangeVersion::Parse(std::string_view text) {
  ExchangeVersion version;
  std::size_t part = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      ++part;
      continue;
    }
    if (part >= version.parts_.size()) continue;
    std::optional<std::uint32_t>& value = version.parts_[part];
    const std::uint64_t next = static_cast<std::uint64_t>(value.value_or(0)) * 10 + static_cast<std::uint32_t>(c - '0');
    // An absurdly long number stays at the largest value rather than wrapping round to a small one.
    value = static_cast<std::uint32_t>(std::min<std::uint64_t>(next, std::numeric_limits<std::uint32_t>::max()));
  }
  return version;
}

bool ExchangeVersion::Accepted() const {
  return parts_[0] == 5u && parts_[1] == 5u && parts_[2].has_value() && *parts_[2] >= 2650;
}

}  // namespace vantrel
