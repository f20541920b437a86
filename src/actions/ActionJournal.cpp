#include "actions/ActionJournal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <system_error>
#include <utility>

#include "common/FileDescriptor.h"
#include "common/DateTime.h"
#include "common/Text.h"

namespace vantrel {

namespace {

std::string IsoTime(Clock::TimePoint moment) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
  const int millis = static_cast<int>(ms - static_cast<long long>(seconds) * 1000);
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  return Printf("%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                utc.tm_min, utc.tm_sec, millis);
}

}  // namespace

ActionJournal::ActionJournal(std::filesystem::path file, const Clock& clock) : file_(std::move(file)), clock_(clock) {}

std::filesystem::path ActionJournal::DefaultFile() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::filesystem::path(state) / "vantrel" / "actions.log";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : "") / ".local" / "state" / "vantrel" / "actions.log";
}

int ActionJournal::Append(const nlohmann::ordered_json& entry) {
  nlohmann::ordered_json line;
  line["time"] = IsoTime(clock_.Now());
  for (const auto& [key, value] : entry.items()) line[key] = value;
  // Invalid UTF-8 in names or paths is replaced rather than failing the whole entry.
  std::string text = line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";

  std::error_code ignored;
  std::filesystem::create_directories(file_.parent_path(), ignored);
  FileDescriptor fd(::open(file_.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
  if (fd.Get() < 0) return errno;
  // A line cut short (a disk that filled up, a run that was killed) must not swallow this entry:
  // it starts on a line of its own, and the broken line stays alone, as it was.
  struct stat status {};
  if (::fstat(fd.Get(), &status) != 0) return errno;
  char last = '\n';
  if (status.st_size > 0 && ::pread(fd.Get(), &last, 1, status.st_size - 1) == 1 && last != '\n') {
    text.insert(text.begin(), '\n');
  }
  // One write for the whole line, so that lines of two runs never interleave.
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t put = ::write(fd.Get(), text.data() + written, text.size() - written);
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    written += static_cast<std::size_t>(put);
  }
  if (::fsync(fd.Get()) != 0) return errno;
  return fd.Close();
}

}  // namespace vantrel
