// The speed benchmark: generates a benchmark library of the size asked (deterministic), then times
// in one run a plain read of every file, the reference design and the program with one thread
// and with every thread, each for a generating run (-o) and a run with a given palette (-p), on
// the library with its WAL files already present from an earlier run; the generating run also
// with the median-cut palette, both with index 255 transparent, and the run with a given palette
// also with --dither and with each form of --true-colour (best of three runs, so with the
// pictures of an earlier run present too), from the same files packed into archives, and into an
// output folder and an output archive. Prints each time with its ratio to the reference design
// and to the plain read, and its peak memory. Then the textures' level 0 as M32 files (plain and
// --remake-mips) and as TGA and PNG pictures. Then two archives of 8,000, 16,000 and 32,000 names,
// the later repeating the earlier's, each entry giving way, into an output folder and an output
// archive.
// Usage: tarnvick_speed [MEGABYTES] [PROGRAM] [PART] [EARLIER]   (default 200 MB, the tarnvick
// built beside it, every part; PART `pictures` or `give-way` times that part alone, PART `against`
// times the default and -p runs of PROGRAM and of the program EARLIER, one after the other, best
// of five)
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench_library.h"
#include "picture_encoder.h"
#include "texture/create_texture.h"
#include "pak_encoder.h"
#include "texture_encoder.h"
#include "child_process.h"
#include "support/reference_run.h"

namespace {

namespace fs = std::filesystem;
using tarnvick::bench::InChild;
using tarnvick::bench::Measure;
using tarnvick::bench::Spawn;

// The fastest of `runs` measures.
Measure Best(int runs, const std::function<Measure()>& measure_once) {
  Measure best;
  for (int run = 0; run < runs; ++run) {
    const Measure measure = measure_once();
    if (!measure.ok) return measure;
    if (!best.ok || measure.seconds < best.seconds) best = measure;
  }
  return best;
}

Measure Best(int runs, const std::function<bool()>& body) {
  return Best(runs, std::function<Measure()>([&] { return InChild(body); }));
}

Measure BestSpawn(int runs, const std::vector<std::string>& arguments) {
  return Best(runs, std::function<Measure()>([&] { return Spawn(arguments); }));
}

bool ReadEveryFile(const std::string& root) {
  std::vector<char> buffer;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string extension = entry.path().extension().string();
    if (!entry.is_regular_file() || (extension != ".m32" && extension != ".m8")) continue;
    std::FILE* file = std::fopen(entry.path().c_str(), "rb");
    if (file == nullptr) return false;
    buffer.resize(entry.file_size());
    const bool read = std::fread(buffer.data(), 1, buffer.size(), file) == buffer.size();
    std::fclose(file);
    if (!read) return false;
  }
  return true;
}

// The sources below `library` packed into archives of at most 1 GiB each below `folder`
// (pak0.pak, pak1.pak, ...), each named by its path below `library`.
bool PackLibrary(const std::string& library, const std::string& folder) {
  std::vector<fs::path> sources;
  for (const auto& entry : fs::recursive_directory_iterator(library)) {
    const std::string extension = entry.path().extension().string();
    if (entry.is_regular_file() && (extension == ".m32" || extension == ".m8")) sources.push_back(entry.path());
  }
  std::sort(sources.begin(), sources.end());
  fs::create_directories(folder);
  std::vector<tarnvick::samples::PakFileEntry> entries;
  std::uint64_t held = 0;
  int archives = 0;
  const auto write = [&] {
    const std::string path = folder + "/pak" + std::to_string(archives++) + ".pak";
    const bool written = tarnvick::samples::WriteFile(path, tarnvick::samples::EncodePak(entries));
    entries.clear();
    held = 0;
    return written;
  };
  for (const fs::path& source : sources) {
    const std::uint64_t size = fs::file_size(source);
    if (held + size + 64 * (entries.size() + 1) > (1ull << 30) && !entries.empty() && !write()) return false;
    std::vector<std::uint8_t> bytes(size);
    std::FILE* file = std::fopen(source.c_str(), "rb");
    const bool read = file != nullptr && std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file != nullptr) std::fclose(file);
    if (!read) return false;
    entries.push_back({fs::relative(source, library).generic_string(), std::move(bytes)});
    held += size;
  }
  return entries.empty() || write();
}

// Each source below `library` whose level 0 has sides that are multiples of 8, as a TGA and a PNG
// picture of its level 0 below `tga` and `png`, and as an M32 of that level 0 and a full mip
// chain below `m32` (its own levels a copy of level 0's first pixels: --remake-mips makes them).
bool WritePictureCopies(const std::string& library, const std::string& tga, const std::string& png, const std::string& m32) {
  for (const auto& entry : fs::recursive_directory_iterator(library)) {
    const std::string extension = entry.path().extension().string();
    if (!entry.is_regular_file() || (extension != ".m32" && extension != ".m8")) continue;
    const auto texture = tarnvick::CreateTexture({tarnvick::kWorkingDirectory, entry.path().string()});
    if (!texture) {
      std::fprintf(stderr, "cannot load %s\n", entry.path().c_str());
      return false;
    }
    const tarnvick::Texture& source = **texture;
    const std::uint32_t w = source.width[0], h = source.height[0];
    if (w % 8 != 0 || h % 8 != 0) continue;
    tarnvick::samples::Picture picture{w, h, {}};
    picture.rgba.reserve(std::size_t{4} * w * h);
    for (std::size_t i = 0; i < std::size_t{w} * h; ++i) {
      const std::uint8_t* colour = source.Colour(i);
      picture.rgba.insert(picture.rgba.end(), {colour[0], colour[1], colour[2], 255});
    }
    const std::string name = fs::relative(entry.path(), library).replace_extension().string();
    for (const std::string& folder : {tga, png, m32}) fs::create_directories(fs::path(folder + "/" + name).parent_path());
    tarnvick::samples::M32File file;
    const std::uint64_t pixels = tarnvick::samples::FullMipChain(w, h, file.width.data(), file.height.data(), 16);
    file.pixels = picture.rgba;
    file.pixels.resize(4 * pixels, 128);
    if (!tarnvick::samples::WriteFile(tga + "/" + name + ".tga", tarnvick::samples::EncodeTga(picture, {})) ||
        !tarnvick::samples::WriteFile(png + "/" + name + ".png", tarnvick::samples::EncodePng(picture, {tarnvick::samples::PngColour::kRgb})) ||
        !tarnvick::samples::WriteFile(m32 + "/" + name + ".m32", tarnvick::samples::EncodeM32(file))) {
      std::fprintf(stderr, "cannot write the copies of %s\n", entry.path().c_str());
      return false;
    }
  }
  return true;
}

// Two archives below `folder` of `count` small M32 entries each, the second named as the first.
bool WriteRepeatedNames(const std::string& folder, std::size_t count) {
  tarnvick::samples::M32File m32;
  const std::uint64_t pixels = tarnvick::samples::FullMipChain(8, 8, m32.width.data(), m32.height.data(), 16);
  m32.pixels.assign(4 * pixels, 7);
  const std::vector<std::uint8_t> bytes = tarnvick::samples::EncodeM32(m32);
  std::vector<tarnvick::samples::PakFileEntry> entries;
  for (std::size_t i = 0; i < count; ++i) entries.push_back({"t/" + std::to_string(i) + ".m32", bytes});
  const std::vector<std::uint8_t> archive = tarnvick::samples::EncodePak(entries);
  fs::create_directories(folder);
  return tarnvick::samples::WriteFile(folder + "/pak0.pak", archive) &&
         tarnvick::samples::WriteFile(folder + "/pak1.pak", archive);
}

// The default and -p runs of `program` and `earlier`, on one thread and on every thread, each
// line's two programs run by turns (best of five each), with the ratio of their times.
bool Against(const std::string& program, const std::string& earlier, const std::string& library,
             const std::string& given, const std::string& generated, const Measure& plain) {
  if (earlier.empty()) {
    std::fprintf(stderr, "against: name the earlier program\n");
    return false;
  }
  std::printf("%-32s %9s %9s %9s %9s %10s %10s\n", "run", "earlier", "now", "x earlier", "x plain", "peak then",
              "peak now");
  bool ok = true;
  for (const bool generate : {true, false}) {
    for (const bool every : {false, true}) {
      const std::vector<std::string> options = {library, "-s", generate ? "-o" + generated : "-p" + given,
                                                every ? "--jobs=" + std::to_string(std::thread::hardware_concurrency())
                                                      : "--jobs=1"};
      Measure then, now;
      for (int round = 0; round < 5; ++round) {
        for (const std::string* which : {&earlier, &program}) {
          std::vector<std::string> arguments = {*which};
          arguments.insert(arguments.end(), options.begin(), options.end());
          const Measure measure = Spawn(arguments);
          Measure& best = which == &earlier ? then : now;
          ok = ok && measure.ok;
          if (!best.ok || measure.seconds < best.seconds) best = measure;
        }
      }
      const std::string name = std::string(generate ? "default" : "-p") + (every ? ", every thread" : ", 1 thread");
      std::printf("%-32s %9.3f %9.3f %9.2f %9.1f %10.1f %10.1f\n", name.c_str(), then.seconds, now.seconds,
                  then.seconds / now.seconds, now.seconds / plain.seconds, then.peak_mib, now.peak_mib);
    }
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t megabytes = argc > 1 ? static_cast<std::size_t>(std::atoi(argv[1])) : 200;
  const std::string program = argc > 2 ? argv[2] : TARNVICK_BINARY;
  const std::string part = argc > 3 ? argv[3] : "all";
  const fs::path root = fs::temp_directory_path() / ("tarnvick-speed-" + std::to_string(::getpid()));
  const std::string library = (root / "library").string();
  const std::string given = (root / "given.lmp").string();
  const std::string generated = (root / "generated.lmp").string();
  const std::string archived = (root / "archived").string();
  if (!InChild([&] { return tarnvick::samples::WriteBenchLibrary(library, megabytes); }).ok ||
      !InChild([&] { return PackLibrary(library, archived); }).ok ||
      !Spawn({program, library, "-s", "-o" + given}).ok) {
    std::fprintf(stderr, "cannot make the benchmark library below %s\n", root.c_str());
    return 1;
  }
  std::uint64_t bytes = 0;
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(library)) {
    const std::string extension = entry.path().extension().string();
    if (entry.is_regular_file() && (extension == ".m32" || extension == ".m8")) {
      bytes += entry.file_size();
      ++files;
    }
  }
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  std::printf("library: %zu files, %.1f MB; %u processors; best of 3 runs (reference: 1 run)\n\n", files,
              static_cast<double>(bytes) / 1e6, threads);

  const Measure plain = Best(3, [&] { return ReadEveryFile(library); });
  if (part != "all") std::printf("plain read of every file: %.3f s\n", plain.seconds);
  struct Row {
    std::string name;
    Measure measure;
    std::size_t reference;  // the row of its reference design
  };
  if (part == "against") {
    const bool ok = Against(program, argc > 4 ? argv[4] : "", library, given, generated, plain);
    fs::remove_all(root);
    return ok ? 0 : 1;
  }
  std::vector<Row> rows = {{"plain read of every file", plain, 0}};
  for (const bool generate : {true, false}) {
    if (part != "all") break;
    const std::string mode = generate ? "-o" + generated : "-p" + given;
    const std::string label = generate ? "default (palette generated)" : "-p (palette given)";
    const Measure reference = Best(1, [&] {
      return tarnvick::testing::ReferenceRun({library, true, generate, generate ? generated : given});
    });
    const std::size_t at = rows.size();
    rows.push_back({label + ", reference design", reference, at});
    rows.push_back({label + ", 1 thread", BestSpawn(3, {program, library, "-s", mode, "--jobs=1"}), at});
    rows.push_back({label + ", every thread", BestSpawn(3, {program, library, "-s", mode}), at});
    rows.push_back({std::string(generate ? "default" : "-p") + ", --transparent, every thread",
                    BestSpawn(3, {program, library, "-s", mode, "--transparent"}), at});
    if (!generate) {
      rows.push_back({"-p, --dither, every thread", BestSpawn(3, {program, library, "-s", mode, "--dither"}), at});
      // Sources from archives against the same files loose; an archive out against an output folder.
      rows.push_back({"-p, from archives, every thread", BestSpawn(3, {program, archived, mode}), at});
      rows.push_back({"-p, --output-dir, every thread",
                      BestSpawn(3, {program, library, "-s", mode, "--output-dir=" + (root / "out").string()}), at});
      rows.push_back({"-p, --output-pak, every thread",
                      BestSpawn(3, {program, library, "-s", mode, "--output-pak=" + (root / "out.pak").string()}), at});
      for (const std::string form : {"tga", "png"}) {
        rows.push_back({"-p, --true-colour=" + form + ", every thread",
                        BestSpawn(3, {program, library, "-s", mode, "--true-colour=" + form}), at});
      }
      continue;
    }
    const std::string method = "--palette-method=median-cut";
    rows.push_back({"default, median-cut, 1 thread", BestSpawn(3, {program, library, "-s", mode, method, "--jobs=1"}), at});
    rows.push_back({"default, median-cut, every thread", BestSpawn(3, {program, library, "-s", mode, method}), at});
  }
  if (part == "all") std::printf("%-44s %9s %12s %12s %10s\n", "run", "seconds", "x reference", "x plain read", "peak MiB");
  for (std::size_t i = 0; part == "all" && i < rows.size(); ++i) {
    const Measure& m = rows[i].measure;
    const Measure& reference = rows[rows[i].reference].measure;
    std::printf("%-44s %9.3f %12.1f %12.1f %10.1f%s\n", rows[i].name.c_str(), m.seconds, reference.seconds / m.seconds,
                m.seconds / plain.seconds, m.peak_mib, m.ok ? "" : "  (FAILED)");
  }

  // Pictures against the same textures as M32 files, their levels made from level 0.
  if (part == "all" || part == "pictures") {
  const std::string tga = (root / "tga").string(), png = (root / "png").string(), m32 = (root / "m32").string();
  if (!InChild([&] { return WritePictureCopies(library, tga, png, m32); }).ok) {
    std::fprintf(stderr, "cannot write the pictures below %s\n", root.c_str());
    return 1;
  }
  const Measure plain_m32 = BestSpawn(3, {program, m32, "-s", "-p" + given});
  const Measure remade = BestSpawn(3, {program, m32, "-s", "-p" + given, "--remake-mips"});
  const Measure tga_pictures = BestSpawn(3, {program, tga, "-s", "-p" + given, "--pictures"});
  const Measure png_pictures = BestSpawn(3, {program, png, "-s", "-p" + given, "--pictures"});
  std::printf("\n%-44s %9s %12s %10s\n", "the textures' level 0, every thread", "seconds", "x remade", "peak MiB");
  for (const auto& [name, m] : {std::pair{"M32, -p", plain_m32}, {"M32, -p --remake-mips", remade},
                                {"TGA pictures, -p --pictures", tga_pictures}, {"PNG pictures, -p --pictures", png_pictures}}) {
    std::printf("%-44s %9.3f %12.2f %10.1f%s\n", name, m.seconds, m.seconds / remade.seconds, m.peak_mib,
                m.ok ? "" : "  (FAILED)");
  }
  }

  std::printf("\n%-44s %9s %12s %9s\n", "two archives of repeated names", "--output-dir", "--output-pak", "ratio");
  for (const std::size_t count : {8000, 16000, 32000}) {
    if (part != "all" && part != "give-way") break;
    const std::string folder = (root / ("repeated-" + std::to_string(count))).string();
    if (!InChild([&] { return WriteRepeatedNames(folder, count); }).ok) return 1;
    // Each entry that gives way is told: those lines are thrown away.
    const auto best = [&](const std::string& output) {
      return Best(3, std::function<Measure()>([&] { return Spawn({program, folder, "-p" + given, output}, "/dev/null"); }));
    };
    const Measure to_folder = best("--output-dir=" + folder + "-out"), to_archive = best("--output-pak=" + folder + ".pak");
    std::printf("%-44s %9.3f %12.3f %9.2f%s\n", (std::to_string(count) + " names, each twice").c_str(), to_folder.seconds,
                to_archive.seconds, to_archive.seconds / to_folder.seconds, to_folder.ok && to_archive.ok ? "" : "  (FAILED)");
  }
  fs::remove_all(root);
  return 0;
}
