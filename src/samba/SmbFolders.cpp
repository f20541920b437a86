#include "samba/SmbFolders.h"

#include <fcntl.h>
#include <libsmbclient.h>

// Without C++ guards of its own.
extern "C" {
#include <tevent.h>
}
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <system_error>
#include <utility>

#include "common/Text.h"
#include "samba/Credentials.h"

// From Samba's public samba-credentials and samba-hostconfig libraries (see LibNetApi.cpp).
struct loadparm_context;
struct ccache_container;
extern "C" loadparm_context* loadparm_init_global(bool loadDefault);
extern "C" int cli_credentials_get_named_ccache(cli_credentials* credentials, void* events,
                                                loadparm_context* configuration, char* name, ccache_container** ccache,
                                                const char** problem);

namespace vantrel::netapi::samba {

namespace {

using Parts = std::vector<std::string>;

constexpr std::uint16_t kAttributeDirectory = 0x10;      // FILE_ATTRIBUTE_DIRECTORY
constexpr std::uint16_t kAttributeReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT: a link or junction
constexpr int kTimeoutMilliseconds = 30000;
constexpr int kMaxCollisionNames = 10000;

std::string Unc(const Parts& parts) {
  std::string path = "\\";
  for (const std::string& part : parts) path += "\\" + part;
  return path;
}

Parts Child(const Parts& folder, const std::string& name) {
  Parts child = folder;
  child.push_back(name);
  return child;
}

std::string ErrorText(int error) { return std::error_code(error, std::generic_category()).message(); }

RemoteFolders::Result Failed(int error, const Parts& item) {
  return {error == 0 ? EIO : error, Unc(item) + ": " + ErrorText(error == 0 ? EIO : error), {}};
}

RemoteFolders::Result Failed(int error, const std::string& text) { return {error, text, {}}; }

std::string LinkLeft(const Parts& link) {
  return Unc(link) + " is a link, which was not followed; it was left in place with the folders above it";
}

std::string CandidateName(const std::string& name, int number) {
  return number == 1 ? name : name + Printf(" (%d)", number);
}

// The parts of a share: same server and share, compared as file servers do, without case.
bool SameShare(const Parts& a, const Parts& b) {
  return a.size() >= 2 && b.size() >= 2 && EqualTextCI(a[0], b[0]) && EqualTextCI(a[1], b[1]);
}

// Reads the open file `in` (the item `from`) to its end, handing each piece to `write`; the first
// failure of either side ends the copy and is the result.
RemoteFolders::Result Pump(SMBCCTX* context, SMBCFILE* in, const Parts& from,
                           const std::function<RemoteFolders::Result(const char* data, std::size_t size)>& write) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t got = smbc_getFunctionRead(context)(context, in, buffer.data(), buffer.size());
    if (got < 0) return Failed(errno, from);
    if (got == 0) return {};
    if (RemoteFolders::Result written = write(buffer.data(), static_cast<std::size_t>(got)); written.error != 0) {
      return written;
    }
  }
}

RemoteFolders::Result ShareRootRefused(const std::string& folder) {
  return Failed(EPERM, "The home folder " + folder +
                           " is not a folder below a share (a share's root is never one account's); it was left alone");
}

// The library asks for a user and password before it connects; the tickets are used instead, so
// nothing is given (and nothing is ever asked on a terminal).
void NoPassword(SMBCCTX* /*context*/, const char* /*server*/, const char* /*share*/, char* /*workgroup*/,
                int /*workgroupLength*/, char* /*user*/, int /*userLength*/, char* /*password*/,
                int /*passwordLength*/) {}

// The machine account's tickets, obtained with its key from the secrets, in a ticket cache of this
// process, which then is the one every Kerberos logon of the process uses. 0 or an errno code.
int UseMachineTickets(cli_credentials* credentials, std::string& problemText) {
  static char name[] = "MEMORY:vantrel-machine";
  ccache_container* ccache = nullptr;
  const char* problem = nullptr;
  tevent_context* events = tevent_context_init(nullptr);
  const int result =
      cli_credentials_get_named_ccache(credentials, events, loadparm_init_global(true), name, &ccache, &problem);
  // The cache lives on in the Kerberos library; only the request's events go.
  talloc_free(events);
  if (result != 0) {
    problemText = problem == nullptr ? Printf("error %d", result) : problem;
    return EACCES;
  }
  ::setenv("KRB5CCNAME", name, 1);
  return 0;
}

}  // namespace

struct SmbFolders::Entry {
  std::string name;
  std::uint16_t attributes = 0;
  std::uint64_t size = 0;
};

struct SmbFolders::Listing {
  std::vector<Entry> entries;
  // The server's file numbers of the folder and of the folder above it ("." and ".."), 0 when not given.
  std::uint64_t self = 0;
  std::uint64_t parent = 0;
};

SmbFolders::SmbFolders(cli_credentials* credentials)
    : machineCredentials_(MachineAccountChosen() ? credentials : nullptr) {}

SmbFolders::~SmbFolders() {
  if (context_ != nullptr) smbc_free_context(context_, 1);
}

Parts SmbFolders::Parts(const std::string& unc) {
  vantrel::netapi::samba::Parts parts;
  if (!IsRemote(unc)) return parts;
  std::string part;
  for (std::size_t i = 2; i <= unc.size(); ++i) {
    if (i == unc.size() || unc[i] == '\\' || unc[i] == '/') {
      if ((part.empty() && i != unc.size()) || part == "." || part == "..") return {};
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += unc[i];
    }
  }
  return parts;
}

std::string SmbFolders::Url(const vantrel::netapi::samba::Parts& parts) {
  std::string url = "smb:/";
  for (const std::string& part : parts) {
    url += '/';
    for (const char c : part) {
      const auto byte = static_cast<unsigned char>(c);
      if (std::isalnum(byte) != 0 || std::strchr("-._~$", c) != nullptr) {
        url += c;
      } else {
        url += Printf("%%%02X", static_cast<unsigned>(byte));
      }
    }
  }
  return url;
}

SMBCCTX* SmbFolders::Context(Result& failure) {
  if (context_ != nullptr) return context_;
  if (machineCredentials_ != nullptr) {
    std::string problem;
    if (const int error = UseMachineTickets(machineCredentials_, problem)) {
      failure = Failed(error, "This machine's domain account got no Kerberos ticket: " + problem);
      return nullptr;
    }
    machineCredentials_ = nullptr;
  }
  SMBCCTX* context = smbc_new_context();
  if (context == nullptr) {
    failure = Failed(errno == 0 ? ENOMEM : errno, "The SMB client could not be started: " + ErrorText(errno));
    return nullptr;
  }
  smbc_setOptionUseKerberos(context, 1);
  smbc_setOptionFallbackAfterKerberos(context, 0);  // never a password logon
  smbc_setOptionNoAutoAnonymousLogin(context, 1);   // never a guest
  smbc_setTimeout(context, kTimeoutMilliseconds);
  smbc_setFunctionAuthDataWithContext(context, NoPassword);
  if (smbc_init_context(context) == nullptr) {
    const int error = errno == 0 ? EIO : errno;
    smbc_free_context(context, 0);
    failure = Failed(error, "The SMB client could not be started: " + ErrorText(error));
    return nullptr;
  }
  context_ = context;
  return context_;
}

SmbFolders::Result SmbFolders::List(const vantrel::netapi::samba::Parts& folder, Listing& listing) {
  listing = Listing{};
  const std::string url = Url(folder);
  SMBCFILE* directory = smbc_getFunctionOpendir(context_)(context_, url.c_str());
  if (directory == nullptr) return Failed(errno, folder);
  struct stat info {};
  while (const libsmb_file_info* entry = smbc_getFunctionReaddirPlus2(context_)(context_, directory, &info)) {
    if (entry->name == nullptr) continue;
    if (std::strcmp(entry->name, ".") == 0) {
      listing.self = info.st_ino;
    } else if (std::strcmp(entry->name, "..") == 0) {
      listing.parent = info.st_ino;
    } else {
      listing.entries.push_back(Entry{entry->name, entry->attrs, entry->size});
    }
  }
  smbc_getFunctionClosedir(context_)(context_, directory);
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return {};
}

// A server that follows links itself (Samba) shows a link to a folder as that folder; its ".." is
// then the folder above the link's target, not the folder it was listed in.
bool SmbFolders::ReachedThroughLink(const Listing& listing, std::uint64_t parent) {
  return parent != 0 && listing.parent != 0 && listing.parent != parent;
}

SmbFolders::Result SmbFolders::DeleteTree(const vantrel::netapi::samba::Parts& item, std::uint64_t parent) {
  Listing listing;
  if (Result listed = List(item, listing); listed.error != 0) return listed;
  if (ReachedThroughLink(listing, parent)) return Failed(ELOOP, LinkLeft(item));
  // Everything that can go goes; the first problem is the one reported.
  Result first;
  const auto keep = [&first](Result result) {
    if (first.error == 0 && result.error != 0) first = std::move(result);
  };
  for (const Entry& entry : listing.entries) {
    const auto child = Child(item, entry.name);
    const std::string url = Url(child);
    if ((entry.attributes & kAttributeReparsePoint) != 0) {
      keep(Failed(ELOOP, LinkLeft(child)));
    } else if ((entry.attributes & kAttributeDirectory) != 0) {
      keep(DeleteTree(child, listing.self));
    } else if (smbc_getFunctionUnlink(context_)(context_, url.c_str()) != 0) {
      keep(Failed(errno, child));
    }
  }
  if (first.error != 0) return first;
  if (smbc_getFunctionRmdir(context_)(context_, Url(item).c_str()) != 0) {
    if (errno == ENOTEMPTY || errno == EEXIST) {
      return Failed(errno, Unc(item) +
                               " holds items the server does not list (such as links pointing out of the "
                               "share); they were left in place with the folders above them");
    }
    return Failed(errno, item);
  }
  return {};
}

SmbFolders::Result SmbFolders::Delete(const std::string& folder) {
  const auto item = Parts(folder);
  if (item.size() < 3) return ShareRootRefused(folder);
  Result failure;
  if (Context(failure) == nullptr) return failure;
  struct stat info {};
  if (smbc_getFunctionStat(context_)(context_, Url(item).c_str(), &info) != 0) return Failed(errno, item);
  if (!S_ISDIR(info.st_mode)) {
    return smbc_getFunctionUnlink(context_)(context_, Url(item).c_str()) == 0 ? Result{} : Failed(errno, item);
  }
  return DeleteTree(item, ParentNumber(item));
}

std::uint64_t SmbFolders::ParentNumber(const vantrel::netapi::samba::Parts& item) {
  struct stat info {};
  const vantrel::netapi::samba::Parts parent(item.begin(), item.end() - 1);
  return smbc_getFunctionStat(context_)(context_, Url(parent).c_str(), &info) == 0 ? info.st_ino : 0;
}

SmbFolders::Result SmbFolders::MakeFolders(const vantrel::netapi::samba::Parts& folder) {
  for (std::size_t length = 3; length <= folder.size(); ++length) {
    const vantrel::netapi::samba::Parts part(folder.begin(), folder.begin() + static_cast<std::ptrdiff_t>(length));
    const std::string url = Url(part);
    if (smbc_getFunctionMkdir(context_)(context_, url.c_str(), 0755) == 0) continue;
    if (errno != EEXIST) return Failed(errno, part);
  }
  struct stat info {};
  if (smbc_getFunctionStat(context_)(context_, Url(folder).c_str(), &info) != 0) return Failed(errno, folder);
  if (!S_ISDIR(info.st_mode)) return Failed(ENOTDIR, folder);
  return {};
}

SmbFolders::Result SmbFolders::CopyFile(const vantrel::netapi::samba::Parts& from,
                                        const vantrel::netapi::samba::Parts& to) {
  SMBCFILE* in = smbc_getFunctionOpen(context_)(context_, Url(from).c_str(), O_RDONLY, 0);
  if (in == nullptr) return Failed(errno, from);
  SMBCFILE* out = smbc_getFunctionOpen(context_)(context_, Url(to).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (out == nullptr) {
    const int error = errno;
    smbc_getFunctionClose(context_)(context_, in);
    return Failed(error, to);
  }
  Result result = Pump(context_, in, from, [this, out, &to](const char* data, std::size_t size) -> Result {
    for (std::size_t written = 0; written < size;) {
      const ssize_t put = smbc_getFunctionWrite(context_)(context_, out, data + written, size - written);
      if (put <= 0) return Failed(put < 0 ? errno : EIO, to);
      written += static_cast<std::size_t>(put);
    }
    return {};
  });
  if (smbc_getFunctionClose(context_)(context_, out) != 0 && result.error == 0) result = Failed(errno, to);
  smbc_getFunctionClose(context_)(context_, in);
  return result;
}

// Copies the folder `from` into the existing, empty folder `to`. The manifest gets one line per
// item copied: its path below the folder, its kind and a file's size.
SmbFolders::Result SmbFolders::CopyTree(const vantrel::netapi::samba::Parts& from,
                                        const vantrel::netapi::samba::Parts& to, std::uint64_t parent,
                                        const std::string& prefix, std::vector<std::string>& manifest) {
  Listing listing;
  if (Result listed = List(from, listing); listed.error != 0) return listed;
  if (ReachedThroughLink(listing, parent)) {
    return Failed(EOPNOTSUPP, Unc(from) + " is a link, which cannot be copied to another share");
  }
  for (const Entry& entry : listing.entries) {
    const auto source = Child(from, entry.name);
    const auto copy = Child(to, entry.name);
    if ((entry.attributes & kAttributeReparsePoint) != 0) {
      return Failed(EOPNOTSUPP, Unc(source) + " is a link, which cannot be copied to another share");
    }
    const std::string relative = prefix + "\\" + entry.name;
    if ((entry.attributes & kAttributeDirectory) != 0) {
      if (smbc_getFunctionMkdir(context_)(context_, Url(copy).c_str(), 0755) != 0) return Failed(errno, copy);
      manifest.push_back(relative + "\\");
      if (Result inner = CopyTree(source, copy, listing.self, relative, manifest); inner.error != 0) return inner;
    } else {
      manifest.push_back(relative + Printf(" %llu", static_cast<unsigned long long>(entry.size)));
      if (Result copied = CopyFile(source, copy); copied.error != 0) return copied;
    }
  }
  return {};
}

SmbFolders::Result SmbFolders::Manifest(const vantrel::netapi::samba::Parts& folder, const std::string& prefix,
                                        std::vector<std::string>& manifest) {
  Listing listing;
  if (Result listed = List(folder, listing); listed.error != 0) return listed;
  for (const Entry& entry : listing.entries) {
    const std::string relative = prefix + "\\" + entry.name;
    if ((entry.attributes & kAttributeDirectory) != 0) {
      manifest.push_back(relative + "\\");
      if (Result inner = Manifest(Child(folder, entry.name), relative, manifest); inner.error != 0) return inner;
    } else {
      manifest.push_back(relative + Printf(" %llu", static_cast<unsigned long long>(entry.size)));
    }
  }
  return {};
}

SmbFolders::Result SmbFolders::CopyFileToLocal(const vantrel::netapi::samba::Parts& from,
                                               const std::filesystem::path& to) {
  SMBCFILE* in = smbc_getFunctionOpen(context_)(context_, Url(from).c_str(), O_RDONLY, 0);
  if (in == nullptr) return Failed(errno, from);
  // A new file only (never through a link): a deleted account's files stay private.
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (out < 0) {
    const int error = errno;
    smbc_getFunctionClose(context_)(context_, in);
    return Failed(error, to.string() + ": " + ErrorText(error));
  }
  const auto localFailure = [&to](int error) { return Failed(error, to.string() + ": " + ErrorText(error)); };
  Result result = Pump(context_, in, from, [out, &localFailure](const char* data, std::size_t size) -> Result {
    for (std::size_t written = 0; written < size;) {
      const ssize_t put = ::write(out, data + written, size - written);
      if (put < 0 && errno != EINTR) return localFailure(errno);
      if (put > 0) written += static_cast<std::size_t>(put);
    }
    return {};
  });
  // The source is removed after the copy: the copy must be on disk first.
  if (result.error == 0 && ::fsync(out) != 0) result = localFailure(errno);
  if (::close(out) != 0 && result.error == 0) result = localFailure(errno);
  smbc_getFunctionClose(context_)(context_, in);
  return result;
}

SmbFolders::Result SmbFolders::CopyTreeToLocal(const vantrel::netapi::samba::Parts& from,
                                               const std::filesystem::path& to, std::uint64_t parent,
                                               const std::string& prefix, std::vector<std::string>& manifest) {
  Listing listing;
  if (Result listed = List(from, listing); listed.error != 0) return listed;
  if (ReachedThroughLink(listing, parent)) {
    return Failed(EOPNOTSUPP, Unc(from) + " is a link, which cannot be copied to this computer");
  }
  for (const Entry& entry : listing.entries) {
    const auto source = Child(from, entry.name);
    // A name that would climb out of the copy, or hold a separator, is no name a server gives.
    if (entry.name.find('/') != std::string::npos) return Failed(EINVAL, Unc(source) + ": not a valid name here");
    const std::filesystem::path copy = to / entry.name;
    if ((entry.attributes & kAttributeReparsePoint) != 0) {
      return Failed(EOPNOTSUPP, Unc(source) + " is a link, which cannot be copied to this computer");
    }
    const std::string relative = prefix + "\\" + entry.name;
    if ((entry.attributes & kAttributeDirectory) != 0) {
      if (::mkdir(copy.c_str(), 0700) != 0) return Failed(errno, copy.string() + ": " + ErrorText(errno));
      manifest.push_back(relative + "\\");
      if (Result inner = CopyTreeToLocal(source, copy, listing.self, relative, manifest); inner.error != 0) {
        return inner;
      }
    } else {
      manifest.push_back(relative + Printf(" %llu", static_cast<unsigned long long>(entry.size)));
      if (Result copied = CopyFileToLocal(source, copy); copied.error != 0) return copied;
    }
  }
  return {};
}

namespace {

// What the copy on this computer holds, in the form the share's manifest has; links are listed as
// such, so that a copy that gained one never matches.
int LocalManifest(const std::filesystem::path& folder, const std::string& prefix, std::vector<std::string>& manifest) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  if (error) return error.value();
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string relative = prefix + "\\" + name;
    struct stat info {};
    if (::lstat((folder / name).c_str(), &info) != 0) return errno;
    if (S_ISDIR(info.st_mode)) {
      manifest.push_back(relative + "\\");
      if (const int inner = LocalManifest(folder / name, relative, manifest)) return inner;
    } else if (S_ISREG(info.st_mode)) {
      manifest.push_back(relative + Printf(" %llu", static_cast<unsigned long long>(info.st_size)));
    } else {
      manifest.push_back(relative + " (not a file)");
    }
  }
  return 0;
}

}  // namespace

SmbFolders::Result SmbFolders::MoveToLocal(const std::string& folder, const vantrel::netapi::samba::Parts& item,
                                           const std::string& target) {
  const std::filesystem::path into(target);
  struct stat folderInfo {};
  if (::stat(into.c_str(), &folderInfo) != 0) return Failed(errno, target + ": " + ErrorText(errno));
  if (!S_ISDIR(folderInfo.st_mode)) return Failed(ENOTDIR, target + ": " + ErrorText(ENOTDIR));
  for (int number = 1; number <= kMaxCollisionNames; ++number) {
    const std::filesystem::path destination = into / CandidateName(item.back(), number);
    if (::mkdir(destination.c_str(), 0700) != 0) {
      if (errno == EEXIST) continue;
      Result result = Failed(errno, destination.string() + ": " + ErrorText(errno));
      result.destination = destination.string();
      return result;
    }
    std::vector<std::string> copied;
    Result result = CopyTreeToLocal(item, destination, ParentNumber(item), "", copied);
    std::vector<std::string> found;
    if (result.error == 0) {
      if (const int error = LocalManifest(destination, "", found)) result = Failed(error, destination.string());
    }
    std::vector<std::string> source;
    if (result.error == 0) result = Manifest(item, "", source);
    if (result.error == 0 && (found != source || copied.size() != source.size())) {
      result = Failed(EIO, "The copy of " + folder + " in " + destination.string() +
                               " does not match the folder (it changed while it was copied?)");
    }
    if (result.error != 0) {
      std::error_code ignored;
      std::filesystem::remove_all(destination, ignored);  // removes links, never follows them
      result.text += "; the home folder was left where it was";
    } else if (Result removed = DeleteTree(item, ParentNumber(item)); removed.error != 0) {
      result = removed;
      result.text = "The home folder was copied to " + destination.string() + " but not removed whole: " + removed.text;
    }
    result.destination = destination.string();
    return result;
  }
  return Failed(EEXIST, item);
}

SmbFolders::Result SmbFolders::MoveInto(const std::string& folder, const std::string& target) {
  const auto item = Parts(folder);
  if (item.size() < 3) return ShareRootRefused(folder);
  if (!target.empty() && target.front() == '/') {
    Result failure;
    if (Context(failure) == nullptr) return failure;
    struct stat info {};
    if (smbc_getFunctionStat(context_)(context_, Url(item).c_str(), &info) != 0) return Failed(errno, item);
    return MoveToLocal(folder, item, target);
  }
  const auto into = Parts(target);
  if (into.size() < 2) {
    return Failed(EINVAL,
                  "The target folder " + target + " is not a folder on a file share; " + folder + " was left alone");
  }
  Result failure;
  if (Context(failure) == nullptr) return failure;
  struct stat info {};
  if (smbc_getFunctionStat(context_)(context_, Url(item).c_str(), &info) != 0) return Failed(errno, item);
  if (Result made = MakeFolders(into); made.error != 0) return made;

  const std::string& name = item.back();
  if (SameShare(item, into)) {
    // One share: the server renames; a name that is taken is never replaced. The library's rename
    // replaces a file or an empty folder of the new name (as POSIX rename does), so the name is
    // looked up first.
    for (int number = 1; number <= kMaxCollisionNames; ++number) {
      const auto destination = Child(into, CandidateName(name, number));
      Result result;
      result.destination = Unc(destination);
      struct stat taken {};
      if (smbc_getFunctionStat(context_)(context_, Url(destination).c_str(), &taken) == 0) continue;
      if (errno != ENOENT) {
        result = Failed(errno, destination);
        result.destination = Unc(destination);
        return result;
      }
      if (smbc_getFunctionRename(context_)(context_, Url(item).c_str(), context_, Url(destination).c_str()) == 0) {
        return result;
      }
      const int error = errno;
      if (error == EEXIST || error == ENOTEMPTY) continue;
      result = Failed(error, item);
      result.destination = Unc(destination);
      return result;
    }
    return Failed(EEXIST, item);
  }

  // Another share or server: a new folder under a free name, the copy, the check, then the source goes.
  for (int number = 1; number <= kMaxCollisionNames; ++number) {
    const auto destination = Child(into, CandidateName(name, number));
    if (smbc_getFunctionMkdir(context_)(context_, Url(destination).c_str(), 0755) != 0) {
      if (errno == EEXIST) continue;
      Result result = Failed(errno, destination);
      result.destination = Unc(destination);
      return result;
    }
    std::vector<std::string> copied;
    Result result = CopyTree(item, destination, ParentNumber(item), "", copied);
    std::vector<std::string> found;
    if (result.error == 0) result = Manifest(destination, "", found);
    std::vector<std::string> source;
    if (result.error == 0) result = Manifest(item, "", source);
    if (result.error == 0 && (found != source || copied.size() != source.size())) {
      result = Failed(EIO, "The copy of " + folder + " in " + Unc(destination) +
                               " does not match the folder (it changed while it was copied?)");
    }
    if (result.error != 0) {
      // A half-made copy is not the folder: removed again; the source stays as it was.
      (void)DeleteTree(destination, 0);
      result.text += "; the home folder was left where it was";
    } else if (Result removed = DeleteTree(item, ParentNumber(item)); removed.error != 0) {
      result = removed;
      result.text = "The home folder was copied to " + Unc(destination) + " but not removed whole: " + removed.text;
    }
    result.destination = Unc(destination);
    return result;
  }
  return Failed(EEXIST, item);
}

}  // namespace vantrel::netapi::samba
