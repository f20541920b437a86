#include "engine/netapi/samba/HelperServer.h"

#include <optional>

#include "engine/netapi/samba/FrameChannel.h"
#include "engine/netapi/samba/HelperProtocol.h"

namespace vantrel::netapi::samba {

std::string HelperServer::Answer(std::string_view request) {
  WireReader in(request);
  WireWriter out;
  const auto operation = static_cast<HelperOperation>(in.U8());
  switch (operation) {
    case HelperOperation::kUserEnum: {
      const std::string server = in.String();
      const std::uint32_t level = in.U32();
      const std::uint32_t filter = in.U32();
      const std::int32_t prefMaxLen = in.I32();
      std::uint32_t resumeHandle = in.U32();
      NetBuffer<UserInfo> buffer;
      std::uint32_t entriesRead = 0;
      std::uint32_t totalEntries = 0;
      out.U32(api_.NetUserEnum(server, level, filter, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle));
      WriteBuffer(out, buffer);
      out.U32(entriesRead);
      out.U32(totalEntries);
      out.U32(resumeHandle);
      break;
    }
    case HelperOperation::kUserGetInfo: {
      const std::string server = in.String();
      const std::string user = in.String();
      const std::uint32_t level = in.U32();
      std::optional<UserInfo> info;
      out.U32(api_.NetUserGetInfo(server, user, level, info));
      out.Bool(info.has_value());
      if (info) WriteRecord(out, *info);
      break;
    }
    case HelperOperation::kUserSetInfo: {
      const std::string server = in.String();
      const std::string user = in.String();
      const std::uint32_t level = in.U32();
      UserInfo info;
      ReadRecord(in, info);
      out.U32(api_.NetUserSetInfo(server, user, level, info));
      break;
    }
    case HelperOperation::kUserDel: {
      const std::string server = in.String();
      const std::string user = in.String();
      out.U32(api_.NetUserDel(server, user));
      break;
    }
    case HelperOperation::kUserGetGroups:
    case HelperOperation::kUserGetLocalGroups: {
      const std::string server = in.String();
      const std::string user = in.String();
      const std::uint32_t level = in.U32();
      const std::uint32_t flags = in.U32();
      const std::int32_t prefMaxLen = in.I32();
      NetBuffer<GroupInfo> buffer;
      std::uint32_t entriesRead = 0;
      std::uint32_t totalEntries = 0;
      out.U32(
          operation == HelperOperation::kUserGetGroups
              ? api_.NetUserGetGroups(server, user, level, prefMaxLen, buffer, entriesRead, totalEntries)
              : api_.NetUserGetLocalGroups(server, user, level, flags, prefMaxLen, buffer, entriesRead, totalEntries));
      WriteBuffer(out, buffer);
      out.U32(entriesRead);
      out.U32(totalEntries);
      break;
    }
    case HelperOperation::kGroupEnum:
    case HelperOperation::kLocalGroupEnum: {
      const std::string server = in.String();
      const std::uint32_t level = in.U32();
      const std::int32_t prefMaxLen = in.I32();
      std::uint32_t resumeHandle = in.U32();
      NetBuffer<GroupInfo> buffer;
      std::uint32_t entriesRead = 0;
      std::uint32_t totalEntries = 0;
      out.U32(operation == HelperOperation::kGroupEnum
                  ? api_.NetGroupEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle)
                  : api_.NetLocalGroupEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries, resumeHandle));
      WriteBuffer(out, buffer);
      out.U32(entriesRead);
      out.U32(totalEntries);
      out.U32(resumeHandle);
      break;
    }
    case HelperOperation::kServerEnum: {
      const std::string server = in.String();
      const std::uint32_t level = in.U32();
      const std::int32_t prefMaxLen = in.I32();
      const std::uint32_t serverType = in.U32();
      const std::string domain = in.String();
      std::uint32_t resumeHandle = in.U32();
      NetBuffer<ServerInfo> buffer;
      std::uint32_t entriesRead = 0;
      std::uint32_t totalEntries = 0;
      out.U32(api_.NetServerEnum(server, level, prefMaxLen, buffer, entriesRead, totalEntries, serverType, domain,
                                 resumeHandle));
      WriteBuffer(out, buffer);
      out.U32(entriesRead);
      out.U32(totalEntries);
      out.U32(resumeHandle);
      break;
    }
    case HelperOperation::kGetAnyDCName:
    case HelperOperation::kGetDCName: {
      const std::string server = in.String();
      const std::string domain = in.String();
      std::string dcName;
      out.U32(operation == HelperOperation::kGetAnyDCName ? api_.NetGetAnyDCName(server, domain, dcName)
                                                          : api_.NetGetDCName(server, domain, dcName));
      out.String(dcName);
      break;
    }
    case HelperOperation::kRemoteTOD: {
      const std::string server = in.String();
      TimeOfDayInfo info;
      out.U32(api_.NetRemoteTOD(server, info));
      out.I64(info.elapsedSeconds);
      break;
    }
    case HelperOperation::kWNetGetUser: {
      const std::uint32_t bufferLength = in.U32();
      std::string userName;
      out.U32(api_.WNetGetUser(userName, bufferLength));
      out.String(userName);
      break;
    }
    default:
      throw WireFormatError("unknown helper operation");
  }
  if (!in.AtEnd()) throw WireFormatError("trailing bytes in a helper request");
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
