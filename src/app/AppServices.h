#pragma once

#include <filesystem>

namespace vantrel {

class ActionJournal;
class Clock;
class ExchangeHelper;
class ExchangeCheck;
class HelpViewer;
class MessageBoxes;
class WebLinks;
namespace netapi {
class NetApi;
}

// What the main window is given from outside: the network, the platform services behind their
// seams, and the clock. The program entry passes the real ones, tests their fakes.
struct AppServices {
  netapi::NetApi& net;
  MessageBoxes& boxes;
  HelpViewer& help;
  WebLinks& links;
  const Clock& clock;
  ExchangeCheck& exchange;
  // The mailbox helper as Test Connection and Execute Actions use it.
  const ExchangeHelper& exchangeHelper;
  // Where action runs record their changes; null records nothing.
  ActionJournal* journal;
  // The registry file the settings live in; empty for the current user's own.
  std::filesystem::path registryFile;
};

}  // namespace vantrel
