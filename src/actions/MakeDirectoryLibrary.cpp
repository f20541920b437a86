// vantrel-make-dapi OUTPUT [VERSION]: writes a stand-in for the Exchange directory library that
// carries only a version record (FileVersion VERSION, 5.5.2653.0 by default), so that the mailbox
// features can be offered on a machine that works with the simulated network.

#include <cstdio>
#include <fstream>
#include <string>

#include "actions/VersionedPeFile.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: vantrel-make-dapi OUTPUT [VERSION]\n");
    return 2;
  }
  const std::string version = argc == 3 ? argv[2] : "5.5.2653.0";
  const std::vector<std::uint8_t> file = vantrel::VersionedPeFile::Build(version);
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "vantrel-make-dapi: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
