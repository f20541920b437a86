// The mailbox helper library for the simulated network: the two functions the program calls,
// answering from the mail server of the lab that vantrel-sim works on.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "actions/vtrex/LabMailServer.h"

namespace {

using vantrel::vtrex::LabMailServer;

constexpr std::int32_t kConnected = 0;
constexpr std::int32_t kStartFailed = 1;
constexpr std::int32_t kReadFailed = 2;
constexpr std::int32_t kNotVersion55 = 3;
constexpr std::int32_t kOldServicePack = 4;
// Service Pack 3 of version 5.5.
constexpr unsigned kFirstAcceptedBuild = 2650;

void Write(char* buffer, std::int32_t size, const std::string& text) {
  if (buffer == nullptr || size <= 0) return;
  std::snprintf(buffer, static_cast<std::size_t>(size), "%s", text.c_str());
}

std::string Trimmed(const char* text) {
  std::string value = text != nullptr ? text : "";
  const auto first = value.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = value.find_last_not_of(" \t\r\n");
  return value.substr(first, last - first + 1);
}

// Finds a reachable server, or says why not.
std::optional<LabMailServer::Server> Connect(LabMailServer& lab, const std::string& name, std::string& why) {
  if (!lab.IsOpen()) {
    why = "Cannot open the simulated network: " + lab.Error();
    return std::nullopt;
  }
  if (name.empty()) {
    why = "No Microsoft Exchange server name was given";
    return std::nullopt;
  }
  std::optional<LabMailServer::Server> server = lab.Find(name);
  if (!server) {
    why = "The Microsoft Exchange server " + name + " was not found on the network";
    return std::nullopt;
  }
  if (!server->reachable) {
    why = "The Microsoft Exchange server " + server->name + " does not answer";
    return std::nullopt;
  }
  return server;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) std::int32_t TestConnection(const char* server, char* errorText,
                                                                    std::int32_t errorTextSize) {
  try {
    LabMailServer lab(LabMailServer::DefaultLab(), false);
    std::string why;
    const std::optional<LabMailServer::Server> found = Connect(lab, Trimmed(server), why);
    if (!found) {
      Write(errorText, errorTextSize, why);
      return kStartFailed;
    }
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
    if (std::sscanf(found->version.c_str(), "%u.%u.%u", &major, &minor, &build) != 3) {
      Write(errorText, errorTextSize, "Cannot read the version of " + found->name + ": \"" + found->version + "\"");
      return kReadFailed;
    }
    if (major != 5 || minor != 5) {
      Write(errorText, errorTextSize, found->version);
      return kNotVersion55;
    }
    if (build < kFirstAcceptedBuild) {
      Write(errorText, errorTextSize, found->version);
      return kOldServicePack;
    }
    return kConnected;
  } catch (...) {
    Write(errorText, errorTextSize, "Unexpected failure in the mailbox helper");
    return kStartFailed;
  }
}

__attribute__((visibility("default"))) std::int32_t DeleteMailbox(const char* server, const char* mailboxName,
                                                                   char* errorText, std::int32_t errorTextSize) {
  try {
    LabMailServer lab(LabMailServer::DefaultLab(), true);
    std::string why;
    const std::optional<LabMailServer::Server> found = Connect(lab, Trimmed(server), why);
    if (!found) {
      Write(errorText, errorTextSize, why);
      return 0;
    }
    const std::string name = mailboxName != nullptr ? mailboxName : "";
    if (!lab.DeleteMailbox(*found, name)) {
      Write(errorText, errorTextSize,
            lab.Error().empty() ? "The mailbox " + name + " does not exist on " + found->name
                                : "Cannot delete the mailbox " + name + ": " + lab.Error());
      return 0;
    }
    return 1;
  } catch (...) {
    Write(errorText, errorTextSize, "Unexpected failure in the mailbox helper");
    return 0;
  }
}

}  // extern "C"
