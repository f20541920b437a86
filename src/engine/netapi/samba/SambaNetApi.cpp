#include "engine/netapi/samba/SambaNetApi.h"

#include "engine/netapi/samba/HelperProtocol.h"

namespace vantrel::netapi::samba {
namespace {

WireWriter Request(HelperOperation operation) {
  WireWriter writer;
  writer.U8(static_cast<std::uint8_t>(operation));
  return writer;
}

}  // namespace

// The options are taken apart and moved into the pool.
// cppcheck-suppress passedByValue
SambaNetApi::SambaNetApi(Options options)
    : pool_(std::move(options.helper), std::move(options.helperArguments), options.maxHelpers) {}

NetStatus SambaNetApi::Exchange(const std::string& request, std::string& answer) {
  const NetStatus transport = pool_.Call(request, answer);
  if (transport != status::kSuccess) answer.clear();
  return transport;
}

// Every method: encode the arguments, exchange, decode the status and the results. An answer
// that does not parse counts as a failed call, like a helper that ended.
#define VANTREL_DECODE_OR_FAIL(body) \
  try {                              \
    body                             \
  } catch (const WireFormatError&) { \
    return kHelperCallFailed;        \
  }

NetStatus SambaNetApi::NetUserEnum(const std::string& server, std::uint32_t level, std::uint32_t filter,
                                   std::int32_t prefMaxLen, NetBuffer<UserInfo>& buffer, std::uint32_t& entriesRead,
                                   std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  buffer.Reset();
  entriesRead = 0;
  totalEntries = 0;
  WireWriter request = Request(HelperOperation::kUserEnum);
  request.String(server);
  request.U32(level);
  request.U32(filter);
  request.I32(prefMaxLen);
  request.U32(resumeHandle);
  std::string answer;
  if (const NetStatus failed = Exchange(request.Bytes(), answer)) return failed;
  VANTREL_DECODE_OR_FAIL({
    WireReader in(answer);
    const NetStatus result = in.U32();
    ReadBuffer(in, buffer);
    entriesRead = in.U32();
    totalEntries = in.U32();
    resumeHandle = in.U32();
    return result;
  })
}

NetStatus SambaNetApi::NetUserGetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                      std::optional<UserInfo>& info) {
  info.reset();
  WireWriter request = Request(HelperOperation::kUserGetInfo);
  request.String(server);
  request.String(userName);
  request.U32(level);
  std::string answer;
  if (const NetStatus failed = Exchange(request.Bytes(), answer)) return failed;
  VANTREL_DECODE_OR_FAIL({
    WireReader in(answer);
    const NetStatus result = in.U32();
    if (in.Bool()) {
      UserInfo record;
      ReadRecord(in, record);
      info = std::move(record);
    }
    return result;
  })
}

NetStatus SambaNetApi::NetUserSetInfo(const std::string& server, const std::string& userName, std::uint32_t level,
                                      const UserInfo& info) {
  WireWriter request = Request(HelperOperation::kUserSetInfo);
  request.String(server);
  request.String(userName);
  request.U32(level);
  WriteRecord(request, info);
  std::string answer;
  if (const NetStatus failed = Exchange(request.Bytes(), answer)) return failed;
  VANTREL_DECODE_OR_FAIL({
    WireReader in(answer);
    return in.U32();
  })
}

NetStatus SambaNetApi::NetUserDel(const std::string& server, const std::string& userName) {
  WireWriter request = Request(HelperOperation::kUserDel);
  request.String(server);
  request.String(userName);
  std::string answer;
  if (const NetStatus failed = Exchange(request.Bytes(), answer)) return failed;
  VANTREL_DECODE_OR_FAIL({
    WireReader in(answer);
    return in.U32();
  })
}

namespace {

NetStatus GroupsRequest(SambaNetApi& api, HelperOperation operation, const std::string& server,
                        const std::string& userName, std::uint32_t level, std::uint32_t flags, std::int32_t prefMaxLen,
                        NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead, std::uint32_t& totalEntries) {
  buffer.Reset();
  entriesRead = 0;
  totalEntries = 0;
  WireWriter request = Request(operation);
  request.String(server);
  request.String(userName);
  request.U32(level);
  request.U32(flags);
  request.I32(prefMaxLen);
  std::string answer;
  if (const NetStatus failed = api.Pool().Call(request.Bytes(), answer)) return failed;
  VANTREL_DECODE_OR_FAIL({
    WireReader in(answer);
    const NetStatus result = in.U32();
    ReadBuffer(in, buffer);
    entriesRead = in.U32();
    totalEntries = in.U32();
    return result;
  })
}

NetStatus GroupEnumRequest(SambaNetApi& api, HelperOperation operation, const std::string& server, std::uint32_t level,
                           std::int32_t prefMaxLen, NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                           std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  buffer.Reset();
  entriesRead = 0;
  totalEntries = 0;
  WireWriter request = Request(operation);
  request.String(server);
  request.U32(level);
  request.I32(prefMaxLen);
  request.U32(resumeHandle);
  std::string answer;
  if (const NetStatus failed = api.Pool().Call(request.Bytes(), answer)) return failed;
  VANTREL_DECODE_OR_FAIL({
    WireReader in(answer);
    const NetStatus result = in.U32();
    ReadBuffer(in, buffer);
    entriesRead = in.U32();
    totalEntries = in.U32();
    resumeHandle = in.U32();
    return result;
  })
}

NetStatus NameRequest(SambaNetApi& api, HelperOperation operation, const std::string& server, const std::string& domain,
                      std::string& dcName) {
  dcName.clear();
  WireWriter request = Request(operation);
  request.String(server);
  request.String(domain);
  std::string answer;
  if (const NetStatus failed = api.Pool().Call(request.Bytes(), answer)) return failed;
  VANTREL_DECODE_OR_FAIL({
    WireReader in(answer);
    const NetStatus result = in.U32();
    dcName = in.String();
    return result;
  })
}

}  // namespace

NetStatus SambaNetApi::NetUserGetGroups(const std::string& server, const std::string& userName, std::uint32_t level,
                                        std::int32_t prefMaxLen, NetBuffer<GroupInfo>& buffer,
                                        std::uint32_t& entriesRead, std::uint32_t& totalEntries) {
  return GroupsRequest(*this, HelperOperation::kUserGetGroups, server, userName, level, 0, prefMaxLen, buffer,
                       entriesRead, totalEntries);
}

NetStatus SambaNetApi::NetUserGetLocalGroups(const std::string& server, const std::string& userName,
                                             std::uint32_t level, std::uint32_t flags, std::int32_t prefMaxLen,
                                             NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                             std::uint32_t& totalEntries) {
  return GroupsRequest(*this, HelperOperation::kUserGetLocalGroups, server, userName, level, flags, prefMaxLen, buffer,
                       entriesRead, totalEntries);
}

NetStatus SambaNetApi::NetGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                    NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                    std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  return GroupEnumRequest(*this, HelperOperation::kGroupEnum, server, level, prefMaxLen, buffer, entriesRead,
                          totalEntries, resumeHandle);
}

NetStatus SambaNetApi::NetLocalGroupEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                         NetBuffer<GroupInfo>& buffer, std::uint32_t& entriesRead,
                                         std::uint32_t& totalEntries, std::uint32_t& resumeHandle) {
  return GroupEnumRequest(*this, HelperOperation::kLocalGroupEnum, server, level, prefMaxLen, buffer, entriesRead,
                          totalEntries, resumeHandle);
}

NetStatus SambaNetApi::NetServerEnum(const std::string& server, std::uint32_t level, std::int32_t prefMaxLen,
                                     NetBuffer<ServerInfo>& buffer, std::uint32_t& entriesRead,
                                     std::uint32_t& totalEntries, std::uint32_t serverType, const std::string& domain,
                                     std::uint32_t& resumeHandle) {
  buffer.Reset();
  entriesRead = 0;
  totalEntries = 0;
  WireWriter request = Request(HelperOperation::kServerEnum);
  request.String(server);
  request.U32(level);
  request.I32(prefMaxLen);
  request.U32(serverType);
  request.String(domain);
  request.U32(resumeHandle);
  std::string answer;
  if (const NetStatus failed = Exchange(request.Bytes(), answer)) return failed;
  VANTREL_DECODE_OR_FAIL({
    WireReader in(answer);
    const NetStatus result = in.U32();
    ReadBuffer(in, buffer);
    entriesRead = in.U32();
    totalEntries = in.U32();
    resumeHandle = in.U32();
    return result;
  })
}

NetStatus SambaNetApi::NetGetAnyDCName(const std::string& server, const std::string& domain, std::string& dcName) {
  return NameRequest(*this, HelperOperation::kGetAnyDCName, server, domain, dcName);
}

NetStatus SambaNetApi::NetGetDCName(const std::string& server, const std::string& domain, std::string& dcName) {
  return NameRequest(*this, HelperOperation::kGetDCName, server, domain, dcName);
}

NetStatus SambaNetApi::NetRemoteTOD(const std::string& server, TimeOfDayInfo& info) {
  info = TimeOfDayInfo{};
  WireWriter request = Request(HelperOperation::kRemoteTOD);
  request.String(server);
  std::string answer;
  if (const NetStatus failed = Exchange(request.Bytes(), answer)) return failed;
  VANTREL_DECODE_OR_FAIL({
    WireReader in(answer);
    const NetStatus result = in.U32();
    info.elapsedSeconds = in.I64();
    return result;
  })
}

NetStatus SambaNetApi::WNetGetUser(std::string& userName, std::uint32_t bufferLength) {
  userName.clear();
  WireWriter request = Request(HelperOperation::kWNetGetUser);
  request.U32(bufferLength);
  std::string answer;
  if (const NetStatus failed = Exchange(request.Bytes(), answer)) return failed;
  VANTREL_DECODE_OR_FAIL({
    WireReader in(answer);
    const NetStatus result = in.U32();
    userName = in.String();
    return result;
  })
}

#undef VANTREL_DECODE_OR_FAIL

}  // namespace vantrel::netapi::samba
