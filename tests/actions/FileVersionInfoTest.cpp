#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "actions/FileVersionInfo.h"
#include "actions/VersionedPeFile.h"

namespace vantrel {
namespace {

using test::TempFolder;
using test::WriteFile;

constexpr const char* kQuery = "\\StringFileInfo\\040904B0\\FileVersion";

std::optional<std::string> VersionOf(const std::filesystem::path& file) {
  const std::uint32_t size = FileVersionInfo::Size(file);
  if (size == 0) return std::nullopt;
  const auto record = FileVersionInfo::Read(file, size);
  if (!record) return std::nullopt;
  return FileVersionInfo::QueryText(*record, kQuery);
}

TEST(FileVersionInfoTest, ReadsTheFileVersionOfGeneratedLibraries) {
  TempFolder folder;
  const std::filesystem::path file = folder.Path() / "DAPI.DLL";
  for (const std::string version : {"5.5.2650", "5.5..2650", "", "a very long version text", "5.5.2653.0"}) {
    WriteFile(file, VersionedPeFile::Build(version));
    EXPECT_EQ(VersionOf(file), version) << version;
  }
  // Other values of the same table, and names compared without regard to case.
  const auto record = FileVersionInfo::Read(file, FileVersionInfo::Size(file));
  ASSERT_TRUE(record);
  EXPECT_EQ(FileVersionInfo::QueryText(*record, "\\stringfileinfo\\040904b0\\productversion"), "5.5.2653.0");
  EXPECT_FALSE(FileVersionInfo::QueryText(*record, "\\StringFileInfo\\040904B0\\Missing"));
  EXPECT_FALSE(FileVersionInfo::QueryText(*record, "\\StringFileInfo\\040704B0\\FileVersion"));
  // The binary translation value is not a text.
  EXPECT_FALSE(FileVersionInfo::QueryText(*record, "\\VarFileInfo\\Translation"));
  // A record asked for with another size than the file holds is not read.
  EXPECT_FALSE(FileVersionInfo::Read(file, FileVersionInfo::Size(file) + 1));
}

TEST(FileVersionInfoTest, GarbageAndDamagedFilesHaveNoVersion) {
  TempFolder folder;
  const std::filesystem::path file = folder.Path() / "DAPI.DLL";
  EXPECT_EQ(FileVersionInfo::Size(folder.Path() / "missing.dll"), 0u);
  EXPECT_EQ(FileVersionInfo::Size(folder.Path()), 0u);  // a folder

  std::mt19937 random(42);
  std::vector<std::uint8_t> noise(4096);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  noise[0] = 'M';
  noise[1] = 'Z';
  for (const auto& bytes : {noise, std::vector<std::uint8_t>{'M', 'Z'}}) {
    WriteFile(file, bytes);
    EXPECT_EQ(FileVersionInfo::Size(file), 0u);
  }

  // Every truncation and many single-byte changes of a good file: never a crash or a read outside
  // the file (the sanitizers watch), and a truncated file never yields the full version.
  const std::vector<std::uint8_t> good = VersionedPeFile::Build("5.5.2653.0");
  WriteFile(file, good);
  // The record lies after the headers (0x200) and the resource directories (88 bytes).
  const std::size_t recordEnd = 0x200 + 88 + FileVersionInfo::Size(file);
  for (std::size_t length = 0; length < good.size(); length += 7) {
    WriteFile(file, std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)));
    if (length < recordEnd) {
      EXPECT_FALSE(VersionOf(file)) << length;
    }
  }
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::uint8_t> damaged = good;
    const std::size_t at = random() % 0x400;  // headers and the version record
    damaged[at] = static_cast<std::uint8_t>(random());
    WriteFile(file, damaged);
    (void)VersionOf(file);
  }
}

}  // namespace
}  // namespace vantrel
