#include "actions/FileVersionInfo.h"

#include <fstream>
#include <iterator>

#include "common/Text.h"

namespace vantrel {

namespace {

// A version library is small; anything far larger is not one.
constexpr std::uintmax_t kMaxFileSize = 64u << 20;
constexpr std::uint32_t kResourceTypeVersion = 16;
constexpr std::size_t kMaxDirectoryEntries = 4096;

class Bytes {
 public:
  explicit Bytes(const std::vector<std::uint8_t>& data) : data_(data) {}
  bool Has(std::uint64_t offset, std::uint64_t length) const {
    return offset <= data_.size() && length <= data_.size() - offset;
  }
  std::uint16_t U16(std::uint64_t offset) const {
    return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
  }
  std::uint32_t U32(std::uint64_t offset) const {
    return static_cast<std::uint32_t>(U16(offset)) | (static_cast<std::uint32_t>(U16(offset + 2)) << 16);
  }

 private:
  const std::vector<std::uint8_t>& data_;
};

std::optional<std::vector<std::uint8_t>> ReadFile(const std::filesystem::path& file) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error || size > kMaxFileSize) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (in.gcount() != static_cast<std::streamsize>(data.size())) return std::nullopt;
  return data;
}

struct Location {
  std::uint64_t offset = 0;
  std::uint32_t size = 0;
};

// Finds the version resource's data in a PE file: its file offset and size.
std::optional<Location> FindVersionResource(const std::vector<std::uint8_t>& data) {
  const Bytes bytes(data);
  if (!bytes.Has(0, 64) || data[0] != 'M' || data[1] != 'Z') return std::nullopt;
  const std::uint64_t pe = bytes.U32(0x3C);
  if (!bytes.Has(pe, 24) || bytes.U32(pe) != 0x00004550) return std::nullopt;  // "PE\0\0"
  const std::uint16_t sectionCount = bytes.U16(pe + 6);
  const std::uint16_t optionalSize = bytes.U16(pe + 20);
  const std::uint64_t optional = pe + 24;
  if (!bytes.Has(optional, 2)) return std::nullopt;
  std::uint64_t directoryCountAt = 0;
  switch (bytes.U16(optional)) {
    case 0x10b:  // PE32
      directoryCountAt = optional + 92;
      break;
    case 0x20b:  // PE32+
      directoryCountAt = optional + 108;
      break;
    default:
      return std::nullopt;
  }
  if (!bytes.Has(directoryCountAt, 4) || directoryCountAt + 4 > optional + optionalSize) return std::nullopt;
  if (bytes.U32(directoryCountAt) < 3) return std::nullopt;
  const std::uint64_t resourceEntry = directoryCountAt + 4 + 2 * 8;
  if (!bytes.Has(resourceEntry, 8) || resourceEntry + 8 > optional + optionalSize) return std::nullopt;
  const std::uint32_t resourceRva = bytes.U32(resourceEntry);
  if (resourceRva == 0) return std::nullopt;

  const std::uint64_t sections = optional + optionalSize;
  auto toOffset = [&](std::uint32_t rva, std::uint64_t length) -> std::optional<std::uint64_t> {
    for (std::uint16_t i = 0; i < sectionCount; ++i) {
      const std::uint64_t section = sections + 40ull * i;
      if (!bytes.Has(section, 40)) return std::nullopt;
      const std::uint32_t virtualAddress = bytes.U32(section + 12);
      const std::uint32_t rawSize = bytes.U32(section + 16);
      const std::uint32_t rawOffset = bytes.U32(section + 20);
      if (rva >= virtualAddress && static_cast<std::uint64_t>(rva) - virtualAddress + length <= rawSize) {
        const std::uint64_t offset = static_cast<std::uint64_t>(rawOffset) + (rva - virtualAddress);
        if (!bytes.Has(offset, length)) return std::nullopt;
        return offset;
      }
    }
    return std::nullopt;
  };

  const std::optional<std::uint64_t> root = toOffset(resourceRva, 16);
  if (!root) return std::nullopt;
  // Three levels: type, name, language. The first entry is taken at the last two; a directory
  // pointing back at itself would loop, so the depth is fixed.
  std::uint64_t directory = *root;
  for (int level = 0; level < 3; ++level) {
    if (!bytes.Has(directory, 16)) return std::nullopt;
    const std::size_t count = static_cast<std::size_t>(bytes.U16(directory + 12)) + bytes.U16(directory + 14);
    if (count == 0 || count > kMaxDirectoryEntries || !bytes.Has(directory + 16, 8ull * count)) return std::nullopt;
    std::optional<std::uint32_t> next;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint64_t entry = directory + 16 + 8 * i;
      const std::uint32_t id = bytes.U32(entry);
      if (level == 0 && id != kResourceTypeVersion) continue;
      next = bytes.U32(entry + 4);
      break;
    }
    if (!next) return std::nullopt;
    const bool isDirectory = (*next & 0x80000000u) != 0;
    const std::uint64_t target = *root + (*next & 0x7FFFFFFFu);
    if (level < 2) {
      if (!isDirectory) return std::nullopt;
      directory = target;
      continue;
    }
    if (isDirectory || !bytes.Has(target, 16)) return std::nullopt;
    const std::uint32_t size = bytes.U32(target + 4);
    const std::optional<std::uint64_t> offset = toOffset(bytes.U32(target), size);
    if (!offset || size == 0) return std::nullopt;
    return Location{*offset, size};
  }
  return std::nullopt;
}

constexpr std::uint64_t Align4(std::uint64_t offset) { return (offset + 3) & ~std::uint64_t{3}; }

// One node of the version record: length, value length, type, key, value, children.
struct Node {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  std::uint16_t valueLength = 0;
  std::uint16_t type = 0;
  std::string key;
  std::uint64_t value = 0;     // offset of the value
  std::uint64_t children = 0;  // offset of the first child
};

std::string Narrow(const Bytes& bytes, std::uint64_t offset, std::uint64_t end, std::uint64_t maxChars) {
  std::string text;
  for (std::uint64_t at = offset; at + 2 <= end && text.size() < maxChars; at += 2) {
    const std::uint16_t unit = bytes.U16(at);
    if (unit == 0) break;
    text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
  }
  return text;
}

std::optional<Node> ReadNode(const Bytes& bytes, std::uint64_t start, std::uint64_t limit) {
  if (start + 6 > limit || !bytes.Has(start, 6)) return std::nullopt;
  Node node;
  node.start = start;
  const std::uint16_t length = bytes.U16(start);
  if (length < 6 || start + length > limit) return std::nullopt;
  node.end = start + length;
  node.valueLength = bytes.U16(start + 2);
  node.type = bytes.U16(start + 4);
  std::uint64_t at = start + 6;
  for (; at + 2 <= node.end; at += 2) {
    const std::uint16_t unit = bytes.U16(at);
    if (unit == 0) break;
    node.key.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
  }
  at += 2;  // the key's terminating zero
  node.value = Align4(at);
  // Text values count characters, binary values bytes.
  const std::uint64_t valueBytes = node.type == 1 ? 2ull * node.valueLength : node.valueLength;
  node.children = Align4(node.value + valueBytes);
  if (node.value > node.end) node.value = node.end;
  if (node.children > node.end) node.children = node.end;
  return node;
}

}  // namespace

std::uint32_t FileVersionInfo::Size(const std::filesystem::path& file) {
  const std::optional<std::vector<std::uint8_t>> data = ReadFile(file);
  if (!data) return 0;
  const std::optional<Location> location = FindVersionResource(*data);
  return location ? location->size : 0;
}

std::optional<std::vector<std::uint8_t>> FileVersionInfo::Read(const std::filesystem::path& file, std::uint32_t size) {
  const std::optional<std::vector<std::uint8_t>> data = ReadFile(file);
  if (!data) return std::nullopt;
  const std::optional<Location> location = FindVersionResource(*data);
  if (!location || location->size != size) return std::nullopt;
  const auto begin = data->begin() + static_cast<std::ptrdiff_t>(location->offset);
  return std::vector<std::uint8_t>(begin, begin + size);
}

std::optional<std::string> FileVersionInfo::QueryText(const std::vector<std::uint8_t>& record, std::string_view path) {
  const Bytes bytes(record);
  std::optional<Node> node = ReadNode(bytes, 0, record.size());
  if (!node) return std::nullopt;
  std::size_t begin = 0;
  while (begin < path.size()) {
    if (path[begin] == '\\') {
      ++begin;
      continue;
    }
    std::size_t end = path.find('\\', begin);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view name = path.substr(begin, end - begin);
    begin = end;
    std::optional<Node> found;
    for (std::uint64_t child = node->children; child < node->end;) {
      const std::optional<Node> candidate = ReadNode(bytes, child, node->end);
      if (!candidate) break;
      if (SameTextAscii(candidate->key, name)) {
        found = candidate;
        break;
      }
      child = Align4(candidate->end);
    }
    if (!found) return std::nullopt;
    node = found;
  }
  if (node->type != 1 || node->start == 0) return std::nullopt;
  return Narrow(bytes, node->value, node->end, node->valueLength);
}

}  // namespace vantrel
