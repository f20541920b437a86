// The mailbox helper library for the simulated network: the two functions the program calls,
// answering from the mail server of the lab that vantrel-sim works on.

#include <cstdint>
#include <charconv>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>

#include "actions/vtrex/SimulatedLabLocation.h"
#include "lab/LabMailServers.h"

namespace {

// "major.minor.build" (anything may follow the build); false for anything else, overlong numbers included.
bool ParseVersion(const std::string& text, unsigned& major, unsigned& minor, unsigned& build) {
  const char* position = text.data();
  const char* const end = text.data() + text.size();
  unsigned* parts[] = {&major, &minor, &build};
  for (std::size_t i = 0; i < 3; ++i) {
    if (i > 0) {
      if (position == end || *position != '.') return false;
      ++position;
    }
    const auto [next, error] = std::from_chars(position, end, *parts[i]);
    if (error != std::errc() || next == position) return false;
    position = next;
  }
  return true;
}

using vantrel::lab::LabMailServers;

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

// The administrator's text as typed: surrounding blanks are not part of a server name.
std::string Trimmed(const char* text) {
  const std::string value = text != nullptr ? text : "";
  const auto first = value.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = value.find_last_not_of(" \t\r\n");
  return value.substr(first, last - first + 1);
}

std::string NotFound(const std::string& name) {
  return "The Microsoft Exchange server " + name + " was not found on the network";
}
std::string NoAnswer(const std::string& name) { return "The Microsoft Exchange server " + name + " does not answer"; }

}  // namespace

extern "C" {

__attribute__((visibility("default"))) std::int32_t TestConnection(const char* server, char* errorText,
                                                                   std::int32_t errorTextSize) {
  try {
    const std::string name = Trimmed(server);
    if (name.empty()) {
      Write(errorText, errorTextSize, "No Microsoft Exchange server name was given");
      return kStartFailed;
    }
    const std::optional<LabMailServers::Server> found =
        LabMailServers(vantrel::vtrex::SimulatedLabLocation()).Find(name);
    if (!found) {
      Write(errorText, errorTextSize, NotFound(name));
      return kStartFailed;
    }
    if (!found->reachable) {
      Write(errorText, errorTextSize, NoAnswer(found->name));
      return kStartFailed;
    }
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
    if (!ParseVersion(found->version, major, minor, build)) {
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
  } catch (const std::exception& error) {
    // No lab, or a lab that cannot be read: the directory service cannot be started.
    Write(errorText, errorTextSize, std::string("Cannot open the simulated network: ") + error.what());
    return kStartFailed;
  } catch (...) {
    Write(errorText, errorTextSize, "Unexpected failure in the mailbox helper");
    return kStartFailed;
  }
}

__attribute__((visibility("default"))) std::int32_t DeleteMailbox(const char* server, const char* mailboxName,
                                                                  char* errorText, std::int32_t errorTextSize) {
  try {
    const std::string name = Trimmed(server);
    const std::string mailbox = mailboxName != nullptr ? mailboxName : "";
    LabMailServers lab(vantrel::vtrex::SimulatedLabLocation());
    switch (lab.DeleteMailbox(name, mailbox)) {
      case LabMailServers::DeleteResult::kDeleted:
        return 1;
      case LabMailServers::DeleteResult::kNoSuchServer:
        Write(errorText, errorTextSize, NotFound(name));
        return 0;
      case LabMailServers::DeleteResult::kUnreachable:
        Write(errorText, errorTextSize, NoAnswer(name));
        return 0;
      case LabMailServers::DeleteResult::kNoSuchMailbox:
        Write(errorText, errorTextSize, "The mailbox " + mailbox + " does not exist on " + name);
        return 0;
    }
    Write(errorText, errorTextSize, "Unexpected failure in the mailbox helper");
    return 0;
  } catch (const std::exception& error) {
    Write(errorText, errorTextSize, std::string("Cannot delete the mailbox: ") + error.what());
    return 0;
  } catch (...) {
    Write(errorText, errorTextSize, "Unexpected failure in the mailbox helper");
    return 0;
  }
}

}  // extern "C"
