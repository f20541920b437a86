#include "results/ResultFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <istream>
#include <ostream>
#include <vector>

#include "common/DateTime.h"
#include "netapi/NetApi.h"
#include "results/AtomicFile.h"
#include "results/FileError.h"
#include "results/ResultFileReader.h"

namespace vantrel {

namespace {

constexpr std::size_t kChunkSize = 256 * 1024;
constexpr std::size_t kEventInterval = 20;
constexpr std::uint32_t kUserNameRoom = 100;

// A line end or end-of-file byte inside a name would let the name forge lines of its own (a "Delete"
// line, a domain line) when the file is read back. Account names never hold them; anything that does
// gets a "?" in their place.
void AppendText(std::string& out, std::string_view text) {
  const std::size_t start = out.size();
  out.append(text);
  for (std::size_t i = start; i < out.size(); ++i) {
    if (out[i] == '\r' || out[i] == '\n' || out[i] == 26) out[i] = '?';
  }
}

void AppendField(std::string& out, std::string_view text, std::size_t width) {
  const std::size_t kept = std::min(text.size(), width);
  AppendText(out, text.substr(0, kept));
  out.append(width - kept, ' ');
}

void AppendRecordLine(std::string& out, const TVTRScanResult& record) {
  out += ' ';
  AppendField(out, record.Name(), 50);
  out += ' ';
  AppendField(out, record.DaysText(), 5);
  out += ' ';
  AppendField(out, ActionText(record.Action()), 7);
}

// Produces the file's bytes in large pieces and hands each to `sink`.
template <typename Sink>
void ProduceResultFile(const TVTRScanResults& results, const ResultFileHeader& header, const Clock& clock,
                       UiHooks& hooks, Sink&& sink) {
  std::string buffer;
  buffer.reserve(kChunkSize + 256);
  auto line = [&buffer](std::string_view text) {
    AppendText(buffer, text);
    buffer.append("\r\n");
  };
  line("# Vantrel v2.1");
  line("# Scan Result File");
  line("#");
  line("# Created: " + FormatLongDate(clock.Now()));
  if (header.userName) line("# By:      " + *header.userName);
  line("# Domain:  " + header.domain);
  line("#");
  line("#Name" + std::string(47, ' ') + "Days  Action");
  line("");

  for (std::size_t index = 0; index < results.Count(); ++index) {
    if (index % kEventInterval == 0) hooks.ProcessEvents();
    AppendRecordLine(buffer, results[index]);
    buffer.append("\r\n");
    if (buffer.size() >= kChunkSize) {
      sink(std::string_view(buffer));
      buffer.clear();
    }
  }
  if (!buffer.empty()) sink(std::string_view(buffer));
}

// A file descriptor closed on every path.
class ReadOnlyFile {
 public:
  // Without O_NONBLOCK, opening a pipe would wait for a writer before the file could be refused; on a
  // regular file the flag changes nothing.
  explicit ReadOnlyFile(const std::filesystem::path& path)
      : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
  ~ReadOnlyFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

// Reads with `readPiece` (bytes read, 0 at the end, -1 with errno on failure) until the end of the file.
template <typename ReadPiece>
ResultFileReadSummary ReadPieces(std::string_view currentDomain, TVTRScanResults& results, UiHooks& hooks,
                                 std::string_view fileName, ReadPiece&& readPiece) {
  results.Clear();
  ResultFileReader reader(currentDomain, results, hooks);
  std::vector<char> buffer(kChunkSize);
  for (;;) {
    const long long count = readPiece(buffer.data(), buffer.size());
    if (count < 0) {
      const int error = errno;
      // What was read stays, in the order the list is always shown in.
      results.Sort(0);
      throw FileError(std::filesystem::path(fileName), error);
    }
    if (count == 0) break;
    if (!reader.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(count)))) break;
  }
  ResultFileReadSummary summary = reader.Finish();
  results.Sort(0);
  return summary;
}

}  // namespace

std::optional<std::string> ResultFileUserName(netapi::NetApi& api) {
  std::string name;
  if (api.WNetGetUser(name, kUserNameRoom) != netapi::status::kSuccess) return std::nullopt;
  return name;
}

std::string ResultFileLine(const TVTRScanResult& record) {
  std::string line;
  line.reserve(65);
  AppendRecordLine(line, record);
  return line;
}

void WriteResultFile(const std::filesystem::path& path, const TVTRScanResults& results, const ResultFileHeader& header,
                     const Clock& clock, UiHooks& hooks) {
  AtomicFile file(path);
  ProduceResultFile(results, header, clock, hooks, [&file](std::string_view bytes) { file.Write(bytes); });
  file.Commit();
}

void WriteResultFile(std::ostream& out, const TVTRScanResults& results, const ResultFileHeader& header,
                     const Clock& clock, UiHooks& hooks, std::string_view streamName) {
  auto fail = [streamName]() { throw FileError(std::filesystem::path(streamName), errno); };
  errno = 0;
  ProduceResultFile(results, header, clock, hooks, [&](std::string_view bytes) {
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) fail();
  });
  out.flush();
  if (!out) fail();
}

ResultFileReadSummary ReadResultFile(const std::filesystem::path& path, std::string_view currentDomain,
                                     TVTRScanResults& results, UiHooks& hooks, const std::function<void()>& opened) {
  ReadOnlyFile file(path);
  if (file.Fd() < 0) throw FileError(path, errno);
  // Refuse a folder before anything changes, as for a file that cannot be opened.
  struct stat status {};
  if (::fstat(file.Fd(), &status) != 0) throw FileError(path, errno);
  if (S_ISDIR(status.st_mode)) throw FileError(path, EISDIR);
  // A device or a pipe can be endless (/dev/zero) or wait forever for a writer.
  if (!S_ISREG(status.st_mode)) throw VantrelError(path.string() + ": not a regular file");
  if (opened) opened();

  return ReadPieces(currentDomain, results, hooks, path.string(), [&file](char* data, std::size_t size) {
    for (;;) {
      const ssize_t count = ::read(file.Fd(), data, size);
      if (count >= 0 || errno != EINTR) return static_cast<long long>(count);
    }
  });
}

ResultFileReadSummary ReadResultFile(std::istream& in, std::string_view currentDomain, TVTRScanResults& results,
                                     UiHooks& hooks, std::string_view streamName) {
  errno = 0;
  return ReadPieces(currentDomain, results, hooks, streamName, [&in](char* data, std::size_t size) {
    in.read(data, static_cast<std::streamsize>(size));
    // Bytes that arrived before a failure are read first; the next call reports the failure.
    if (in.gcount() > 0) return static_cast<long long>(in.gcount());
    return in.bad() ? -1LL : 0LL;
  });
}

}  // namespace vantrel
