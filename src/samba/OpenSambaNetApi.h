#pragma once

#include <filesystem>
#include <memory>

#include "netapi/NetApi.h"

namespace vantrel::netapi::samba {

// The helper executable: next to the running program, else where this build put it, else in the
// installed helper folder. Empty when there is none.
std::filesystem::path FindNetApiHelper();

// The real network for vantrel and vantrel-scan. Raises VantrelError naming what to do when the
// helper is missing or the user has no Kerberos ticket ("No Kerberos ticket: run kinit user@REALM
// first"). Every call of the result is safe from any thread.
std::unique_ptr<NetApi> OpenSambaNetApi();

}  // namespace vantrel::netapi::samba
