// tarnvick-samples: writes the sample texture library (or, with --seeds, the fuzz seed corpora)
// into the directory given.
#include <cstdio>
#include <cstring>

#include "sample_library.h"

int main(int argc, char** argv) {
  const bool seeds = argc == 3 && std::strcmp(argv[1], "--seeds") == 0;
  if (argc != 2 && !seeds) {
    std::fputs("usage: tarnvick-samples DIRECTORY\n       tarnvick-samples --seeds DIRECTORY\n", stderr);
    return 1;
  }
  const char* directory = argv[argc - 1];
  const bool written = seeds ? tarnvick::samples::WriteFuzzSeeds(directory)
                             : tarnvick::samples::WriteSampleLibrary(directory);
  if (!written) {
    std::fprintf(stderr, "tarnvick-samples: cannot write into %s\n", directory);
    return 1;
  }
  return 0;
}
