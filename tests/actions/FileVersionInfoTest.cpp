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

using test::WriteFile;

std::optional<std::string> VersionOf(const std::filesystem::path& file,
                                     const char* query = "\\StringFileInfo\\040904B0\\FileVersion") {
  const std::uint32_t size = FileVersionInfo::Size(file);
  const auto record = size == 0 ? std::nullopt : FileVersionInfo::Read(file, size);
  return record ? FileVersionInfo::QueryText(*record, query) : std::nullopt;
}

TEST(FileVersionInfoTest, ReadsGeneratedLibrariesAndNeverDamagedOnes) {
  const test::TempFolder folder;
  const std::filesystem::path file = folder / "DAPI.DLL";
  for (const std::string version : {"5.5.2650", "5.5..2650", "", "a very long version text", "5.5.2653.0"}) {
    WriteFile(file, VersionedPeFile::Build(version));
    EXPECT_EQ(VersionOf(file), version) << version;
  }
  // Names compared without regard to case; missing names, other languages and binary values give nothing.
  EXPECT_EQ(VersionOf(file, "\\stringfileinfo\\040904b0\\productversion"), "5.5.2653.0");
  for (const char* query : {"\\StringFileInfo\\040904B0\\Missing", "\\StringFileInfo\\040704B0\\FileVersion",
                            "\\VarFileInfo\\Translation"}) {
    EXPECT_FALSE(VersionOf(file, query)) << query;
  }
  EXPECT_FALSE(FileVersionInfo::Read(file, FileVersionInfo::Size(file) + 1)) << "another size than the file holds";
  EXPECT_EQ(FileVersionInfo::Size(folder.Path()), 0u);

  std::mt19937 random(42);  // NOLINT(cert-msc51-cpp): the same damage on every run
  std::vector<std::uint8_t> noise(4096);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  noise[0] = 'M';
  noise[1] = 'Z';
  for (const auto& bytes : {noise, std::vector<std::uint8_t>{'M', 'Z'}}) {
    WriteFile(file, bytes);
    EXPECT_EQ(FileVersionInfo::Size(file), 0u);
  }
  // Truncations and byte changes: no read outside the file (the sanitizers watch), no version from a cut record.
  // The record ends after the headers (0x200), the resource directories (88 bytes) and its own size.
  const std::vector<std::uint8_t> good = VersionedPeFile::Build("5.5.2653.0");
  WriteFile(file, good);
  const std::size_t recordEnd = 0x200 + 88 + FileVersionInfo::Size(file);
  for (std::size_t length = 0; length < good.size(); length += 7) {
    WriteFile(file, std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)));
    EXPECT_TRUE(length >= recordEnd || !VersionOf(file)) << length;
  }
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::uint8_t> damaged = good;
    damaged[random() % 0x400] = static_cast<std::uint8_t>(random());  // headers and the version record
    WriteFile(file, damaged);
    (void)VersionOf(file);
  }
}

}  // namespace
}  // namespace vantrel
