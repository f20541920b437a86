#pragma once

#include <QString>

namespace vantrel {

// Hands a web address to the desktop to open; a failure is not reported.
class WebLinks {
 public:
  virtual ~WebLinks() = default;
  virtual void OpenWebPage(const QString& address) = 0;
};

}  // namespace vantrel
