#include "samba/SambaNetApi.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "samba/HelperProtocol.h"

namespace vantrel::netapi::samba {
namespace {

template <class... Arguments>
std::string Request(HelperOperation operation, const Arguments&... arguments) {
  WireWriter writer;
  writer.U8(static_cast<std::uint8_t>(operation));
  WriteValues(writer, arguments...);
  return writer.Bytes();
}

// Sends a request to an idle helper and reads the status and the results of its answer. When no
// helper answered, the call fails with the pool's status; an answer that does not parse counts as
// a failed call, like a helper that ended.
template <class... Results>
NetStatus Exchange(HelperPool& pool, const std::string& request, Results&... results) {
  std::string answer;
  if (const NetStatus failed = pool.Call(request, answer)) return failed;
  try {
    WireReader in(answer);
    NetStatus result = status::kSuccess;
    ReadValues(in, result, results...);
    return result;
  } catch (const WireFormatError&) {
    return kHelperCallFailed;
  }
}

}  // namespace

// The options are taken apart and moved into the pool.
// cppcheck-suppress passedByValue
SambaNetApi::SambaNetApi(Options options)
    : pool_(std::move(options.helper), std::move(options.helperArguments), options.maxHelpers) {}

NetStatus SambaNetApi::NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter,
                                   std::int32_t prefMaxLen, NetBuffer<UserInfo>& buffer, std::uint32_t& entriesRead,
                                   std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  ClearBatch(buffer, entriesRead, totalEntries);
  return Exchange(pool_, Request(HelperOperation::kUserEnum, server, level, filter, prefMaxLen, resumeHandle), buffer,
                  entriesRead, totalEntries, resumeHandle);
}

NetStatus SambaNetApi::NetUserGetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                      std::optional<UserInfo>& info) {
  info.reset();
  return Exchange(pool_, Request(HelperOperation::kUserGetInfo, server, userName, level), info);
}

NetStatus SambaNetApi::NetUserSetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                      const UserInfo& info) {
  return Exchange(pool_, Request(HelperOperation::kUserSetInfo, server, userName, level, info));
}

NetStatus SambaNetApi::NetUserDel(const std::string& server, const std::string& userName) {
  return Exchange(pool_, Request(HelperOperation::kUserDel, server, userName));
}

// Both group lists of an account travel with flags (0 for the global groups).
NetStatus SambaNetApi::NetUserGetGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                        std::int32_t prefMaxLen, NetBuffer<GroupInfo>& buffer,
                                        std::uint32_t& entriesRead, std::uint32_t& totalEntries) {
  ClearBatch(buffer, entriesRead, totalEntries);
  return Exchange(pool_, Request(HelperOperation::kUserGetGroups, server, userName, level, 0U, prefMaxLen), buffer,
                  entriesRead, totalEntries);
}

NetStatus SambaNetApi::NetUserGetLocalGroups(const std::string& server, const std::string& userName,
                                             std::uint32_t level, std::uint32_t flags, std::int32_t prefMaxLen,
                                             NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                             std::uint32_t& totalEntries) {
  ClearBatch(buffer, entriesRead, totalEntries);
  return Exchange(pool_, Request(HelperOperation::kUserGetLocalGroups, server, userName, level, flags, prefMaxLen),
                  buffer, entriesRead, totalEntries);
}

NetStatus SambaNetApi::NetGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                    NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                    std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  ClearBatch(buffer, entriesRead, totalEntries);
  return Exchange(pool_, Request(HelperOperation::kGroupEnum, server, level, prefMaxLen, resumeHandle), buffer,
                  entriesRead, totalEntries, resumeHandle);
}

NetStatus SambaNetApi::NetLocalGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                         NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                         std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  ClearBatch(buffer, entriesRead, totalEntries);
  return Exchange(pool_, Request(HelperOperation::kLocalGroupEnum, server, level, prefMaxLen, resumeHandle), buffer,
                  entriesRead, totalEntries, resumeHandle);
}

NetStatus SambaNetApi::NetServerEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                     NetBuffer<ServerInfo>& buffer, std::uint32_t& entriesRead,
                                     std::uint32_t& totalEntries, std::uint32_t serverType, const std::string& domain,
                                     std::uint32_t& resumeHandle) {
  ClearBatch(buffer, entriesRead, totalEntries);
  return Exchange(pool_,
                  Request(HelperOperation::kServerEnum, server, level, prefMaxLen, serverType, domain, resumeHandle),
                  buffer, entriesRead, totalEntries, resumeHandle);
}

NetStatus SambaNetApi::NetGetAnyDCName(const std::string& server, const std::string& domain, std::string& dcName) {
  dcName.clear();
  return Exchange(pool_, Request(HelperOperation::kGetAnyDCName, server, domain), dcName);
}

NetStatus SambaNetApi::NetGetDCName(const std::string& server, const std::string& domain, std::string& dcName) {
  dcName.clear();
  return Exchange(pool_, Request(HelperOperation::kGetDCName, server, domain), dcName);
}

NetStatus SambaNetApi::NetRemoteTOD(const std::string& server, TimeOfDayInfo& info) {
  info = TimeOfDayInfo{};
  return Exchange(pool_, Request(HelperOperation::kRemoteTOD, server), info);
}

NetStatus SambaNetApi::WNetGetUser(std::string& userName, std::uint32_t bufferLength) {
  userName.clear();
  return Exchange(pool_, Request(HelperOperation::kWNetGetUser, bufferLength), userName);
}

NetStatus SambaNetApi::NetUserDelWithChildren(const std::string& server, const std::string& userName,
                                              std::vector<std::string>& children) {
  children.clear();
  return Exchange(pool_, Request(HelperOperation::kUserDelWithChildren, server, userName), children);
}

namespace {

// A folder operation whose helper did not answer: the outcome is unknown, and said so.
RemoteFolders::Result Unanswered(NetStatus failed, const std::string& folder) {
  return {EIO, "The helper process did not answer for " + folder + ": " + StatusText(failed), {}};
}

}  // namespace

RemoteFolders::Result SambaNetApi::Delete(const std::string& folder) {
  Result result;
  if (const NetStatus failed = Exchange(pool_, Request(HelperOperation::kFolderDelete, folder), result)) {
    return Unanswered(failed, folder);
  }
  return result;
}

RemoteFolders::Result SambaNetApi::MoveInto(const std::string& folder, const std::string& target) {
  Result result;
  if (const NetStatus failed = Exchange(pool_, Request(HelperOperation::kFolderMoveInto, folder, target), result)) {
    return Unanswered(failed, folder);
  }
  return result;
}

NetStatus SambaNetApi::NetAccountSnapshot(const std::string& server, bool withGroups, AccountSnapshot& snapshot) {
  snapshot = AccountSnapshot{};
  if (const char* choice = std::getenv("VANTREL_ACCOUNT_SNAPSHOT");
      choice != nullptr && std::strcmp(choice, "off") == 0) {
    return status::kNotSupported;
  }
  return Exchange(pool_, Request(HelperOperation::kAccountSnapshot, server, withGroups), snapshot);
}

}  // namespace vantrel::netapi::samba
