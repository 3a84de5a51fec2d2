// The peak memory of the program on two large legal sources of 89.5 MB each (a 4096 x 4096 M32
// and an 8192 x 8192 M8, both with full mip chains), in a run that reads its palette and in runs
// that generate it (by popularity and by median cut), and of four copies of the M32 on four
// threads, against the bound of twice the largest file plus 200 MiB.
// Usage: tarnvick_memory [PROGRAM]   (default: the tarnvick built beside it)
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "noise.h"
#include "texture_encoder.h"

namespace {

namespace samples = tarnvick::samples;

// Writes the two sources and a palette below `root`, and their sizes to `channel`.
bool WriteSources(const std::filesystem::path& root, int channel) {
  samples::M32File m32;
  const std::uint64_t m32_pixels = samples::FullMipChain(4096, 4096, m32.width.data(), m32.height.data(), 16);
  m32.pixels = samples::NoiseBytes(4 * m32_pixels, 1);
  samples::M8File m8;
  m8.version = 2;
  m8.width.resize(16);
  m8.height.resize(16);
  m8.offset.resize(16);
  const std::uint64_t m8_pixels = samples::FullMipChain(8192, 8192, m8.width.data(), m8.height.data(), 16);
  m8.indices = samples::NoiseBytes(m8_pixels, 2);
  const std::vector<std::uint8_t> noise = samples::NoiseBytes(768, 3);
  std::copy(noise.begin(), noise.end(), m8.palette.begin());
  const std::size_t m32_size = samples::EncodeM32(m32).size();
  const std::size_t m8_size = samples::EncodeM8(m8).size();
  const std::size_t sizes[2] = {m32_size, m8_size};
  const std::vector<std::uint8_t> m32_bytes = samples::EncodeM32(m32);
  for (int copy = 0; copy < 4; ++copy) {
    if (!samples::WriteFile(root / ("many/big" + std::to_string(copy) + ".m32"), m32_bytes)) return false;
  }
  return samples::WriteFile(root / "m32/big.m32", m32_bytes) &&
         samples::WriteFile(root / "m8/big.m8", samples::EncodeM8(m8)) &&
         samples::WriteFile(root / "palette.lmp", std::vector<std::uint8_t>(noise.begin(), noise.end())) &&
         ::write(channel, sizes, sizeof sizes) == static_cast<ssize_t>(sizeof sizes);

}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = argc > 1 ? argv[1] : TARNVICK_BINARY;
  const std::filesystem::path root = std::filesystem::temp_directory_path() / ("tarnvick-memory-" + std::to_string(::getpid()));
  std::filesystem::create_directories(root / "m32");
  std::filesystem::create_directories(root / "m8");
  std::filesystem::create_directories(root / "many");

  // The sources are made in a child process: a peak of this process would count towards the
  // peak of every program it starts.
  std::size_t sizes[2] = {0, 0};
  int channel[2];
  if (::pipe(channel) != 0) return 1;
  const pid_t maker = ::fork();
  if (maker == 0) {
    ::_exit(WriteSources(root, channel[1]) ? 0 : 1);
  }
  int made = 0;
  const bool got = ::read(channel[0], sizes, sizeof sizes) == static_cast<ssize_t>(sizeof sizes);
  if (::waitpid(maker, &made, 0) != maker || !got || !WIFEXITED(made) || WEXITSTATUS(made) != 0) {
    std::fprintf(stderr, "cannot write the sources below %s\n", root.c_str());
    return 1;
  }
  const std::size_t m32_size = sizes[0];
  const std::size_t m8_size = sizes[1];

  std::printf("%-28s %8s %10s %9s %10s\n", "source", "file MB", "mode", "peak MiB", "bound MiB");
  bool within = true;
  for (const auto& [folder, size] :
       {std::pair{std::string("m32"), m32_size}, {std::string("m8"), m8_size}, {std::string("many"), m32_size}}) {
    for (const std::string mode : {"-p", "generate", "median-cut"}) {
      const std::string palette = (root / (mode == "-p" ? "palette.lmp" : "generated.lmp")).string();
      std::vector<std::string> arguments = {program, (root / folder).string(), (mode == "-p" ? "-p" : "-o") + palette};
      if (mode == "median-cut") arguments.push_back("--palette-method=median-cut");
      if (folder == "many") arguments.push_back("--jobs=4");
      const tarnvick::bench::Measure run = tarnvick::bench::Spawn(arguments);
      const double peak = run.ok ? run.peak_mib : -1;
      const double bound = 2.0 * static_cast<double>(size) / (1 << 20) + 200;
      const char* source = folder == "m32" ? "M32 4096 x 4096, full chain"
                           : folder == "m8" ? "M8 8192 x 8192, full chain"
                                            : "4 x that M32, --jobs=4";
      std::printf("%-28s %8.1f %10s %9.1f %10.1f\n", source, static_cast<double>(size) / 1e6, mode.c_str(), peak, bound);
      std::fflush(stdout);
      within = within && peak > 0 && peak <= bound;
    }
  }
  std::filesystem::remove_all(root);
  std::printf("%s\n", within ? "every run within its bound" : "A RUN PASSED ITS BOUND");
  return within ? 0 : 1;
}
