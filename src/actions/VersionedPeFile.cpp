#include "actions/VersionedPeFile.h"

#include "actions/ExchangeVersion.h"

namespace vantrel {

namespace {

using Buffer = std::vector<std::uint8_t>;

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kResourceRva = 0x1000;

void Put16(Buffer& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void Put32(Buffer& out, std::uint32_t value) {
  Put16(out, static_cast<std::uint16_t>(value));
  Put16(out, static_cast<std::uint16_t>(value >> 16));
}
void Set16(Buffer& out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<std::uint8_t>(value);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
void Set32(Buffer& out, std::size_t at, std::uint32_t value) {
  Set16(out, at, static_cast<std::uint16_t>(value));
  Set16(out, at + 2, static_cast<std::uint16_t>(value >> 16));
}
void PadTo(Buffer& out, std::size_t alignment) {
  while (out.size() % alignment != 0) out.push_back(0);
}
void PutWide(Buffer& out, const std::string& text) {
  for (const char c : text) Put16(out, static_cast<std::uint8_t>(c));
  Put16(out, 0);
}

// One node of a version record: wLength, wValueLength, wType, key, value, children, each part
// starting on a 4-byte boundary.
Buffer VersionNode(const std::string& key, std::uint16_t type, const Buffer& value, std::uint16_t valueLength,
                   const std::vector<Buffer>& children) {
  Buffer node;
  Put16(node, 0);
  Put16(node, valueLength);
  Put16(node, type);
  PutWide(node, key);
  PadTo(node, 4);
  node.insert(node.end(), value.begin(), value.end());
  for (const Buffer& child : children) {
    PadTo(node, 4);
    node.insert(node.end(), child.begin(), child.end());
  }
  Set16(node, 0, static_cast<std::uint16_t>(node.size()));
  return node;
}

Buffer TextNode(const std::string& key, const std::string& text) {
  Buffer value;
  PutWide(value, text);
  return VersionNode(key, 1, value, static_cast<std::uint16_t>(text.size() + 1), {});
}

Buffer VersionRecord(const std::string& fileVersion, const std::vector<std::pair<std::string, std::string>>& strings,
                     const std::string& table) {
  const ExchangeVersion parts = ExchangeVersion::Parse(fileVersion);
  auto part = [&](std::size_t index) { return static_cast<std::uint16_t>(parts.Part(index).value_or(0)); };
  const std::uint32_t versionMs = (static_cast<std::uint32_t>(part(0)) << 16) | part(1);
  const std::uint32_t versionLs = (static_cast<std::uint32_t>(part(2)) << 16) | part(3);
  Buffer fixed;
  Put32(fixed, 0xFEEF04BD);  // signature
  Put32(fixed, 0x00010000);  // structure version
  Put32(fixed, versionMs);
  Put32(fixed, versionLs);
  Put32(fixed, versionMs);  // product version
  Put32(fixed, versionLs);
  Put32(fixed, 0x3F);        // flags mask
  Put32(fixed, 0);           // flags
  Put32(fixed, 0x00040004);  // NT, 32-bit
  Put32(fixed, 2);           // a library
  Put32(fixed, 0);
  Put32(fixed, 0);
  Put32(fixed, 0);

  std::vector<Buffer> texts;
  for (const auto& [key, text] : strings) texts.push_back(TextNode(key, text));
  const Buffer stringTable = VersionNode(table, 1, {}, 0, texts);
  const Buffer stringFileInfo = VersionNode("StringFileInfo", 1, {}, 0, {stringTable});
  Buffer translation;
  Put16(translation, 0x0409);
  Put16(translation, 0x04B0);
  const Buffer var = VersionNode("Translation", 0, translation, static_cast<std::uint16_t>(translation.size()), {});
  const Buffer varFileInfo = VersionNode("VarFileInfo", 1, {}, 0, {var});
  return VersionNode("VS_VERSION_INFO", 0, fixed, static_cast<std::uint16_t>(fixed.size()),
                     {stringFileInfo, varFileInfo});
}

// The resource section: type 16 (version) -> name 1 -> language 0x409 -> the record.
Buffer ResourceSection(const Buffer& record) {
  Buffer section;
  auto directory = [&section](std::uint32_t id, std::uint32_t offset) {
    for (int i = 0; i < 3; ++i) Put32(section, 0);  // characteristics, time stamp, versions
    Put16(section, 0);                              // named entries
    Put16(section, 1);                              // id entries
    Put32(section, id);
    Put32(section, offset);
  };
  directory(16, 0x80000000u | 24);
  directory(1, 0x80000000u | 48);
  directory(0x409, 72);
  const std::uint32_t recordOffset = 88;
  Put32(section, kResourceRva + recordOffset);
  Put32(section, static_cast<std::uint32_t>(record.size()));
  Put32(section, 1252);  // code page
  Put32(section, 0);
  section.insert(section.end(), record.begin(), record.end());
  return section;
}

std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

}  // namespace

std::vector<std::uint8_t> VersionedPeFile::Build(const std::string& fileVersion,
                                                 const std::vector<std::pair<std::string, std::string>>& strings,
                                                 const std::string& table) {
  const Buffer resources = ResourceSection(VersionRecord(fileVersion, strings, table));
  const auto resourceSize = static_cast<std::uint32_t>(resources.size());
  const std::uint32_t rawSize = AlignUp(resourceSize, kFileAlignment);

  Buffer file(64, 0);
  file[0] = 'M';
  file[1] = 'Z';
  Set32(file, 0x3C, 64);
  Put32(file, 0x00004550);  // "PE\0\0"
  Put16(file, 0x014C);      // i386
  Put16(file, 1);           // one section
  Put32(file, 0);           // time stamp
  Put32(file, 0);           // symbol table
  Put32(file, 0);           // symbols
  Put16(file, 224);         // optional header size
  Put16(file, 0x2102);      // executable image, 32-bit, library

  Put16(file, 0x10B);  // PE32
  file.push_back(6);   // linker version
  file.push_back(0);
  Put32(file, 0);           // code size
  Put32(file, rawSize);     // initialised data size
  Put32(file, 0);           // uninitialised data size
  Put32(file, 0);           // entry point: none
  Put32(file, 0);           // base of code
  Put32(file, 0);           // base of data
  Put32(file, 0x10000000);  // image base
  Put32(file, kSectionAlignment);
  Put32(file, kFileAlignment);
  Put16(file, 4);  // OS version
  Put16(file, 0);
  Put16(file, 0);  // image version
  Put16(file, 0);
  Put16(file, 4);  // subsystem version
  Put16(file, 0);
  Put32(file, 0);                                                             // reserved
  Put32(file, kSectionAlignment + AlignUp(resourceSize, kSectionAlignment));  // image size
  Put32(file, kFileAlignment);                                                // headers size
  Put32(file, 0);                                                             // checksum
  Put16(file, 2);                                                             // Windows GUI subsystem
  Put16(file, 0);                                                             // library characteristics
  Put32(file, 0x100000);                                                      // stack reserve
  Put32(file, 0x1000);                                                        // stack commit
  Put32(file, 0x100000);                                                      // heap reserve
  Put32(file, 0x1000);                                                        // heap commit
  Put32(file, 0);                                                             // loader flags
  Put32(file, 16);                                                            // data directories
  for (int i = 0; i < 16; ++i) {
    Put32(file, i == 2 ? kResourceRva : 0);
    Put32(file, i == 2 ? resourceSize : 0);
  }

  const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
  file.insert(file.end(), name, name + 8);
  Put32(file, resourceSize);    // virtual size
  Put32(file, kResourceRva);    // virtual address
  Put32(file, rawSize);         // raw size
  Put32(file, kFileAlignment);  // raw offset
  Put32(file, 0);
  Put32(file, 0);
  Put16(file, 0);
  Put16(file, 0);
  Put32(file, 0x40000040);  // initialised data, readable
  PadTo(file, kFileAlignment);

  file.insert(file.end(), resources.begin(), resources.end());
  PadTo(file, kFileAlignment);
  return file;
}

std::vector<std::uint8_t> VersionedPeFile::Build(const std::string& fileVersion) {
  return Build(fileVersion, {{"CompanyName", "Vantrel"},
                             {"FileDescription", "Stand-in for the Exchange directory library (version record only)"},
                             {"FileVersion", fileVersion},
                             {"ProductVersion", fileVersion}});
}

}  // namespace vantrel
