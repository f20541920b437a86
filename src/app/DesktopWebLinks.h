#pragma once

#include "app/WebLinks.h"

namespace vantrel {

// Through the desktop's URL handler.
class DesktopWebLinks final : public WebLinks {
 public:
  void OpenWebPage(const QString& address) override;
};

}  // namespace vantrel
