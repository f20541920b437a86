#pragma once

#include <string>
#include <vector>

namespace vantrel {

// Chooses the domain to work on when more than one is found; the window shows its domain list
// dialog, the command-line tool refuses.
class DomainPicker {
 public:
  virtual ~DomainPicker() = default;
  // domains is sorted and has at least two entries; the first is the one to preselect.
  virtual std::string PickDomain(const std::vector<std::string>& domains) = 0;
};

}  // namespace vantrel
