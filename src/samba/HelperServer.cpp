#include "samba/HelperServer.h"

#include <optional>
#include <vector>

#include "samba/FrameChannel.h"
#include "samba/HelperProtocol.h"

namespace vantrel::netapi::samba {

std::string HelperServer::Answer(std::string_view request) {
  using std::int32_t;
  using std::string;
  using std::uint32_t;
  WireReader in(request);
  WireWriter out;
  const auto operation = static_cast<HelperOperation>(in.U8());
  switch (operation) {
    case HelperOperation::kUserEnum: {
      auto [server, level, filter, prefMaxLen, resumeHandle] =
          ReadArguments<string, uint32_t, uint32_t, int32_t, uint32_t>(in);
      NetBuffer<UserInfo> buffer;
      uint32_t entriesRead = 0;
      uint32_t totalEntries = 0;
      const NetStatus result =
          api_.NetUserEnum(server, level, filter, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle);
      WriteValues(out, result, buffer, entriesRead, totalEntries, resumeHandle);
      break;
    }
    case HelperOperation::kUserGetInfo: {
      const auto [server, user, level] = ReadArguments<string, string, uint32_t>(in);
      std::optional<UserInfo> info;
      const NetStatus result = api_.NetUserGetInfo(server, user, level, info);
      WriteValues(out, result, info);
      break;
    }
    case HelperOperation::kUserSetInfo: {
      const auto [server, user, level, info] = ReadArguments<string, string, uint32_t, UserInfo>(in);
      WriteValues(out, api_.NetUserSetInfo(server, user, level, info));
      break;
    }
    case HelperOperation::kUserDel: {
      const auto [server, user] = ReadArguments<string, string>(in);
      WriteValues(out, api_.NetUserDel(server, user));
      break;
    }
    case HelperOperation::kUserGetGroups:
    case HelperOperation::kUserGetLocalGroups: {
      const auto [server, user, level, flags, prefMaxLen] =
          ReadArguments<string, string, uint32_t, uint32_t, int32_t>(in);
      NetBuffer<GroupInfo> buffer;
      uint32_t entriesRead = 0;
      uint32_t totalEntries = 0;
      const NetStatus result =
          operation == HelperOperation::kUserGetGroups
              ? api_.NetUserGetGroups(server, user, level, prefMaxLen, buffer, entriesRead, totalEntries)
              : api_.NetUserGetLocalGroups(server, user, level, flags, prefMaxLen, buffer, entriesRead, totalEntries);
      WriteValues(out, result, buffer, entriesRead, totalEntries);
      break;
    }
    case HelperOperation::kGroupEnum:
    case HelperOperation::kLocalGroupEnum: {
      auto [server, level, prefMaxLen, resumeHandle] = ReadArguments<string, uint32_t, int32_t, uint32_t>(in);
      NetBuffer<GroupInfo> buffer;
      uint32_t entriesRead = 0;
      uint32_t totalEntries = 0;
      const NetStatus result =
          operation == HelperOperation::kGroupEnum
              ? api_.NetGroupEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle)
              : api_.NetLocalGroupEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle);
      WriteValues(out, result, buffer, entriesRead, totalEntries, resumeHandle);
      break;
    }
    case HelperOperation::kServerEnum: {
      auto [server, level, prefMaxLen, serverType, domain, resumeHandle] =
          ReadArguments<string, uint32_t, int32_t, uint32_t, string, uint32_t>(in);
      NetBuffer<ServerInfo> buffer;
      uint32_t entriesRead = 0;
      uint32_t totalEntries = 0;
      const NetStatus result = api_.NetServerEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries,
                                                  serverType, domain, resumeHandle);
      WriteValues(out, result, buffer, entriesRead, totalEntries, resumeHandle);
      break;
    }
    case HelperOperation::kGetAnyDCName:
    case HelperOperation::kGetDCName: {
      const auto [server, domain] = ReadArguments<string, string>(in);
      string dcName;
      const NetStatus result = operation == HelperOperation::kGetAnyDCName
                                   ? api_.NetGetAnyDCName(server, domain, dcName)
                                   : api_.NetGetDCName(server, domain, dcName);
      WriteValues(out, result, dcName);
      break;
    }
    case HelperOperation::kRemoteTOD: {
      const auto [server] = ReadArguments<string>(in);
      TimeOfDayInfo info;
      const NetStatus result = api_.NetRemoteTOD(server, info);
      WriteValues(out, result, info);
      break;
    }
    case HelperOperation::kWNetGetUser: {
      const auto [bufferLength] = ReadArguments<uint32_t>(in);
      string userName;
      const NetStatus result = api_.WNetGetUser(userName, bufferLength);
      WriteValues(out, result, userName);
      break;
    }
    case HelperOperation::kUserDelWithChildren: {
      const auto [server, user] = ReadArguments<string, string>(in);
      std::vector<string> children;
      const NetStatus result = api_.NetUserDelWithChildren(server, user, children);
      WriteValues(out, result, children);
      break;
    }
    case HelperOperation::kFolderDelete: {
      const auto [folder] = ReadArguments<string>(in);
      WriteValues(out, status::kSuccess, api_.Folders().Delete(folder));
      break;
    }
    case HelperOperation::kFolderMoveInto: {
      const auto [folder, target] = ReadArguments<string, string>(in);
      WriteValues(out, status::kSuccess, api_.Folders().MoveInto(folder, target));
      break;
    }
    case HelperOperation::kAccountSnapshot: {
      const auto [server, withGroups] = ReadArguments<string, bool>(in);
      AccountSnapshot snapshot;
      const NetStatus result = api_.NetAccountSnapshot(server, withGroups, snapshot);
      WriteValues(out, result, snapshot);
      break;
    }
    default:
      throw WireFormatError("unknown helper operation");
  }
  return out.Bytes();
}

int HelperServer::Serve(int fd) {
  std::string request;
  while (true) {
    switch (ReadFrame(fd, request)) {
      case FrameStatus::kClosed:
        return 0;
      case FrameStatus::kBroken:
        return 1;
      case FrameStatus::kOk:
        break;
    }
    std::string answer;
    try {
      answer = Answer(request);
    } catch (const WireFormatError&) {
      return 1;  // the client sees the connection end and reports the call as failed
    }
    if (!WriteFrame(fd, answer)) return 1;
  }
}

}  // namespace vantrel::netapi::samba
