#include "samba/OpenSambaNetApi.h"

#include <system_error>

#include "common/VantrelError.h"
#include "samba/Credentials.h"
#include "samba/KerberosTicket.h"
#include "samba/SambaNetApi.h"

namespace vantrel::netapi::samba {
namespace {

constexpr char kHelperName[] = "vantrel-netapi-helper";

bool IsExecutable(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) &&
         (std::filesystem::status(path, error).permissions() & std::filesystem::perms::owner_exec) !=
             std::filesystem::perms::none;
}

}  // namespace

std::filesystem::path FindNetApiHelper() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error && IsExecutable(self.parent_path() / kHelperName)) return self.parent_path() / kHelperName;
#ifdef VANTREL_NETAPI_HELPER_BUILD_PATH
  if (IsExecutable(VANTREL_NETAPI_HELPER_BUILD_PATH)) return VANTREL_NETAPI_HELPER_BUILD_PATH;
#endif
#ifdef VANTREL_NETAPI_HELPER_INSTALL_PATH
  if (IsExecutable(VANTREL_NETAPI_HELPER_INSTALL_PATH)) return VANTREL_NETAPI_HELPER_INSTALL_PATH;
#endif
  return {};
}

std::unique_ptr<NetApi> OpenSambaNetApi() {
  const std::filesystem::path helper = FindNetApiHelper();
  if (helper.empty()) {
    throw VantrelError(std::string("The Samba helper ") + kHelperName +
                       " was not found: install it next to the program");
  }
  if (!MachineAccountChosen()) {
    if (const std::string problem = KerberosTicket::Problem(); !problem.empty()) throw VantrelError(problem);
  }
  SambaNetApi::Options options;
  options.helper = helper;
  return std::make_unique<SambaNetApi>(std::move(options));
}

}  // namespace vantrel::netapi::samba
