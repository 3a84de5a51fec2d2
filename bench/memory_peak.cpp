// The peak memory of the program on two large legal sources of 89.5 MB each (a 4096 x 4096 M32
// and an 8192 x 8192 M8, both with full mip chains), in a run that reads its palette, in runs
// that generate it (by popularity and by median cut) and in runs that dither by either method,
// and of four copies of the M32 on four threads; and of dithering a 16384 x 16384 M8 and four
// 4096 x 4096 M8 on four threads; each against the bound of twice the largest file plus 200 MiB.
// With --output-pak: a slow 4096 x 4096 M8 followed by 48 M32 of 1024 x 1024 whose outputs wait
// for it (--true-colour=tga --transparent --dither), at 2 and 8 jobs, against the same bound; and
// an archive of 1,000,000 entries, none of them read, with -p and with --output-pak, against 64
// bytes an entry beside the peak of a run on one small file. An 8192 x 8192 PNG with alpha under
// --pictures --transparent --dither, against the bound with the picture counted at 4 bytes a pixel.
// Usage: tarnvick_memory [PROGRAM]   (default: the tarnvick built beside it)
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "noise.h"
#include "pak_encoder.h"
#include "picture_encoder.h"
#include "texture_encoder.h"

namespace {

namespace samples = tarnvick::samples;

// The sources' sizes, in the order WriteSources gives them.
enum Source { kM32, kM8, kHugeM8, kSmallM8, kWaitM8, kSources };

// The entries of the archive whose entries are never read.
constexpr std::size_t kArchiveEntries = 1000000;

// An archive of kArchiveEntries M8 entries whose data lies outside it: each is refused unread.
std::vector<std::uint8_t> UnreadArchive() {
  std::vector<std::uint8_t> archive(12, 0);
  std::copy_n("PACK", 4, archive.begin());
  samples::PutI32(archive, 4, 12);
  samples::PutI32(archive, 8, static_cast<std::int32_t>(kArchiveEntries * 64));
  archive.resize(12 + kArchiveEntries * 64, 0);
  for (std::size_t i = 0; i < kArchiveEntries; ++i) {
    const std::string name = "textures/e" + std::to_string(i / 1000) + "/t" + std::to_string(i) + ".m8";
    std::copy(name.begin(), name.end(), archive.begin() + static_cast<std::ptrdiff_t>(12 + i * 64));
    samples::PutI32(archive, 12 + i * 64 + 56, 1 << 30);
    samples::PutI32(archive, 12 + i * 64 + 60, 1000);
  }
  return archive;
}

// An M8 of `side` x `side` pixels with a full mip chain, of noise from `seed`.
std::vector<std::uint8_t> NoiseM8(std::uint32_t side, std::uint32_t seed) {
  samples::M8File m8;
  m8.version = 2;
  m8.width.resize(16);
  m8.height.resize(16);
  m8.offset.resize(16);
  const std::uint64_t pixels = samples::FullMipChain(side, side, m8.width.data(), m8.height.data(), 16);
  m8.indices = samples::NoiseBytes(pixels, seed);
  const std::vector<std::uint8_t> noise = samples::NoiseBytes(768, 3);
  std::copy(noise.begin(), noise.end(), m8.palette.begin());
  return samples::EncodeM8(m8);
}

// Writes the sources and a palette below `root`, and their sizes to `channel`.
bool WriteSources(const std::filesystem::path& root, int channel) {
  samples::M32File m32;
  const std::uint64_t m32_pixels = samples::FullMipChain(4096, 4096, m32.width.data(), m32.height.data(), 16);
  m32.pixels = samples::NoiseBytes(4 * m32_pixels, 1);
  const std::vector<std::uint8_t> m32_bytes = samples::EncodeM32(m32);
  std::size_t sizes[kSources] = {m32_bytes.size()};
  for (int copy = 0; copy < 4; ++copy) {
    if (!samples::WriteFile(root / ("many/big" + std::to_string(copy) + ".m32"), m32_bytes)) return false;
  }
  if (!samples::WriteFile(root / "m32/big.m32", m32_bytes)) return false;
  const std::vector<std::uint8_t> m8 = NoiseM8(8192, 2);
  sizes[kM8] = m8.size();
  if (!samples::WriteFile(root / "m8/big.m8", m8)) return false;
  const std::vector<std::uint8_t> small = NoiseM8(4096, 2);
  sizes[kSmallM8] = small.size();
  for (int copy = 0; copy < 4; ++copy) {
    if (!samples::WriteFile(root / ("many-m8/big" + std::to_string(copy) + ".m8"), small)) return false;
  }
  const std::vector<std::uint8_t> slow = NoiseM8(4096, 4);
  sizes[kWaitM8] = slow.size();
  if (!samples::WriteFile(root / "wait/a.m8", slow)) return false;
  samples::M32File quick;
  const std::uint64_t quick_pixels = samples::FullMipChain(1024, 1024, quick.width.data(), quick.height.data(), 16);
  quick.pixels = samples::NoiseBytes(4 * quick_pixels, 5);
  const std::vector<std::uint8_t> quick_bytes = samples::EncodeM32(quick);
  for (int copy = 0; copy < 48; ++copy) {
    if (!samples::WriteFile(root / ("wait/b" + std::to_string(copy) + ".m32"), quick_bytes)) return false;
  }
  if (!samples::WriteFile(root / "unread/pak0.pak", UnreadArchive())) return false;
  if (!samples::WriteFile(root / "one/a.m8", NoiseM8(8, 6))) return false;
  // A picture of gradients under noise of a few levels, and an alpha that fades and holes.
  samples::Picture picture{8192, 8192, {}};
  picture.rgba.resize(std::size_t{4} * 8192 * 8192);
  const std::vector<std::uint8_t> grain = samples::NoiseBytes(picture.rgba.size() / 16, 7);
  for (std::size_t i = 0; i < std::size_t{8192} * 8192; ++i) {
    const std::size_t x = i % 8192, y = i / 8192;
    std::uint8_t* p = picture.rgba.data() + 4 * i;
    p[0] = static_cast<std::uint8_t>(x / 32 + (grain[i / 4] & 7));
    p[1] = static_cast<std::uint8_t>(y / 32);
    p[2] = static_cast<std::uint8_t>((x + y) / 64);
    p[3] = (x / 256 + y / 256) % 3 == 0 ? 0 : static_cast<std::uint8_t>(255 - (x % 256) / 2);
  }
  if (!samples::WriteFile(root / "picture/big.png", samples::EncodePng(picture, {samples::PngColour::kRgba}))) return false;
  const std::vector<std::uint8_t> huge = NoiseM8(16384, 2);
  sizes[kHugeM8] = huge.size();
  const std::vector<std::uint8_t> noise = samples::NoiseBytes(768, 3);
  return samples::WriteFile(root / "huge-m8/big.m8", huge) &&
         samples::WriteFile(root / "palette.lmp", std::vector<std::uint8_t>(noise.begin(), noise.end())) &&
         ::write(channel, sizes, sizeof sizes) == static_cast<ssize_t>(sizeof sizes);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = argc > 1 ? argv[1] : TARNVICK_BINARY;
  const std::filesystem::path root = std::filesystem::temp_directory_path() / ("tarnvick-memory-" + std::to_string(::getpid()));
  std::filesystem::create_directories(root / "m32");
  std::filesystem::create_directories(root / "m8");
  for (const char* folder : {"many", "many-m8", "huge-m8", "wait", "unread", "one", "picture"}) {
    std::filesystem::create_directories(root / folder);
  }

  // The sources are made in a child process: a peak of this process would count towards the
  // peak of every program it starts.
  std::size_t sizes[kSources] = {};
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

  // The folder, its largest source and its line's name, and the runs over it.
  struct Case {
    const char* folder;
    Source largest;
    const char* source;
    std::vector<std::string> modes;
  };
  const Case cases[] = {
      {"m32", kM32, "M32 4096 x 4096, full chain", {"-p", "generate", "median-cut", "dither", "diffusion"}},
      {"m8", kM8, "M8 8192 x 8192, full chain", {"-p", "generate", "median-cut", "dither", "diffusion"}},
      {"many", kM32, "4 x that M32, --jobs=4", {"-p", "generate", "median-cut"}},
      {"huge-m8", kHugeM8, "M8 16384 x 16384, full chain", {"dither"}},
      {"many-m8", kSmallM8, "4 x M8 4096 x 4096, --jobs=4", {"dither"}},
  };
  std::printf("%-29s %8s %10s %9s %10s\n", "source", "file MB", "mode", "peak MiB", "bound MiB");
  bool within = true;
  for (const Case& run_case : cases) {
    const std::size_t size = sizes[run_case.largest];
    for (const std::string& mode : run_case.modes) {
      const bool reads = mode == "-p" || mode == "dither" || mode == "diffusion";
      const std::string palette = (root / (reads ? "palette.lmp" : "generated.lmp")).string();
      std::vector<std::string> arguments = {program, (root / run_case.folder).string(), (reads ? "-p" : "-o") + palette};
      if (mode == "median-cut") arguments.push_back("--palette-method=median-cut");
      if (mode == "dither") arguments.push_back("--dither");
      if (mode == "diffusion") arguments.push_back("--dither=diffusion");
      if (std::string(run_case.folder).starts_with("many")) arguments.push_back("--jobs=4");
      const tarnvick::bench::Measure run = tarnvick::bench::Spawn(arguments);
      const double peak = run.ok ? run.peak_mib : -1;
      const double bound = 2.0 * static_cast<double>(size) / (1 << 20) + 200;
      std::printf("%-29s %8.1f %10s %9.1f %10.1f\n", run_case.source, static_cast<double>(size) / 1e6, mode.c_str(), peak,
                  bound);
      std::fflush(stdout);
      within = within && peak > 0 && peak <= bound;
    }
  }
  const std::string palette = "-p" + (root / "palette.lmp").string(), pak = "--output-pak=" + (root / "out.pak").string();
  for (const std::string jobs : {"--jobs=2", "--jobs=8"}) {
    const tarnvick::bench::Measure run = tarnvick::bench::Spawn(
        {program, (root / "wait").string(), palette, "--true-colour=tga", "--transparent", "--dither", jobs, pak});
    const double peak = run.ok ? run.peak_mib : -1;
    const double bound = 2.0 * static_cast<double>(sizes[kWaitM8]) / (1 << 20) + 200;
    std::printf("%-29s %8.1f %10s %9.1f %10.1f\n", ("M8 4096, 48 M32 1024, " + jobs.substr(2)).c_str(),
                static_cast<double>(sizes[kWaitM8]) / 1e6, "pak, wait", peak, bound);
    within = within && peak > 0 && peak <= bound;
  }
  const tarnvick::bench::Measure one = tarnvick::bench::Spawn({program, (root / "one").string(), palette});
  for (const std::string mode : {"-p", "pak"}) {
    std::vector<std::string> arguments = {program, (root / "unread").string(), palette};
    if (mode == "pak") arguments.push_back(pak);
    const tarnvick::bench::Measure run = tarnvick::bench::Spawn(arguments, "/dev/null");  // a line for each entry
    const double peak = run.ok && one.ok ? run.peak_mib : -1;
    const double bound = one.peak_mib + 64.0 * kArchiveEntries / (1 << 20);
    std::printf("%-29s %8.1f %10s %9.1f %10.1f  (%.0f bytes an entry)\n", "archive of 1,000,000 entries",
                12.0 + 64.0 * kArchiveEntries / 1e6, mode.c_str(), peak, bound,
                (run.peak_mib - one.peak_mib) * (1 << 20) / kArchiveEntries);
    within = within && peak > 0 && peak <= bound;
  }
  {
    const tarnvick::bench::Measure run = tarnvick::bench::Spawn(
        {program, (root / "picture").string(), palette, "--pictures", "--transparent", "--dither"});
    const double peak = run.ok ? run.peak_mib : -1, counted = 4.0 * 8192 * 8192;
    const double bound = 2.0 * counted / (1 << 20) + 200;
    std::printf("%-29s %8.1f %10s %9.1f %10.1f\n", "PNG 8192 x 8192 with alpha",
                static_cast<double>(std::filesystem::file_size(root / "picture/big.png")) / 1e6, "dither", peak, bound);
    within = within && peak > 0 && peak <= bound;
  }
  std::filesystem::remove_all(root);
  std::printf("%s\n", within ? "every run within its bound" : "A RUN PASSED ITS BOUND");
  return within ? 0 : 1;
}
