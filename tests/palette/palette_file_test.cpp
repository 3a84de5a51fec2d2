// The palette file: short and long files, files that cannot be read, and atomic writing; the
// PCX, PNG, JASC-PAL and GIMP forms, read from files built here byte by byte and written by the
// program, read back here.
#include "palette/palette_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "palette/colormap_tables.h"
#include "support/expected_wal.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/texture_pairs.h"

namespace tarnvick::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutBig32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// A PNG of 2 x 2 pixels of colour type `type` (3 indexed, 2 RGB), all zero, with `plte` as its
// PLTE chunk when not empty; its pixels in one stored (uncompressed) deflate block.
Bytes BuildPng(std::uint8_t type, const Bytes& plte) {
  Bytes png = {137, 80, 78, 71, 13, 10, 26, 10};
  const auto chunk = [&](const char* name, const Bytes& data) {
    PutBig32(png, static_cast<std::uint32_t>(data.size()));
    Bytes typed(name, name + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    png.insert(png.end(), typed.begin(), typed.end());
    PutBig32(png, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
  };
  chunk("IHDR", {0, 0, 0, 2, 0, 0, 0, 2, 8, type, 0, 0, 0});
  if (!plte.empty()) chunk("PLTE", plte);
  const Bytes rows((type == 3 ? 3 : 7) * 2, 0);  // a filter byte and the pixels of each row
  Bytes idat = {0x78, 0x01, 0x01, static_cast<std::uint8_t>(rows.size()), 0, static_cast<std::uint8_t>(~rows.size()), 0xFF};
  idat.insert(idat.end(), rows.begin(), rows.end());
  PutBig32(idat, static_cast<std::uint32_t>(adler32(1, rows.data(), static_cast<uInt>(rows.size()))));
  chunk("IDAT", idat);
  chunk("IEND", {});
  return png;
}

// A 4 x 2 PCX picture of `bits` bits a pixel in `planes` planes, run-length encoded, ending in
// the byte 12 and `palette`.
Bytes BuildPcx(std::uint8_t bits, std::uint8_t planes, const Bytes& palette) {
  Bytes pcx(128, 0);
  pcx[0] = 10, pcx[1] = 5, pcx[2] = 1, pcx[3] = bits, pcx[8] = 3, pcx[10] = 1, pcx[65] = planes, pcx[66] = 4;
  const Bytes pixels = {0xC4, 7, 1, 2, 0xC1, 0xC5, 3};  // 7 7 7 7, then 1 2 0xC5 3
  pcx.insert(pcx.end(), pixels.begin(), pixels.end());
  pcx.push_back(12);
  pcx.insert(pcx.end(), palette.begin(), palette.end());
  return pcx;
}

Bytes Text(const std::string& text) { return {text.begin(), text.end()}; }

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A text palette of `lines` colour lines "i 2i 255" after `head`, each line ended by `end`.
Bytes Lines(const std::string& head, int lines, const std::string& end) {
  std::string text = head;
  for (int i = 0; i < lines; ++i) text += std::to_string(i % 256) + " " + std::to_string(2 * i % 256) + "\t255" + end;
  return Text(text);
}

Bytes Entries(int count) {
  Bytes entries;
  for (int i = 0; i < count; ++i) {
    entries.push_back(static_cast<std::uint8_t>(i));
    entries.push_back(static_cast<std::uint8_t>(2 * i % 256));
    entries.push_back(255);
  }
  return entries;
}

TEST(ParsePaletteFile, RecognisesEachFormByItsContent) {
  const Bytes noise = NoiseBytes(2000, 9);
  const Bytes colours(noise.begin(), noise.begin() + 768);
  const Bytes png = BuildPng(3, Entries(5));
  Bytes png_bad_checksum = png;
  png_bad_checksum[33 + 8] ^= 1;  // the first PLTE byte, after the signature and IHDR
  const Bytes pcx = BuildPcx(8, 1, colours);
  Bytes pcx_too_short = Bytes(800, 0);
  pcx_too_short[0] = 10, pcx_too_short[2] = 1, pcx_too_short[3] = 8, pcx_too_short[65] = 1, pcx_too_short[31] = 12;
  Bytes pcx_like_raw = NoiseBytes(700, 2);
  pcx_like_raw[0] = 10, pcx_like_raw[2] = 1;
  const Bytes gimp_head = Text("GIMP Palette\nName: x\nColumns: 4\n\n# comment\n  1 2 3\tfirst name\n");
  const Bytes bom = {0xEF, 0xBB, 0xBF};
  const std::string text_768(768, '~');
  const Bytes text_then_binary = Text(std::string(767, 'a')) + Bytes{0, 1};
  struct Case {
    const char* what;
    Bytes bytes;
    PaletteForm form;
    std::size_t held;
    Bytes first;          // the palette's first bytes
    std::string reason;   // when refused
  } cases[] = {
      {"raw, short", Bytes(noise.begin(), noise.begin() + 5), PaletteForm::kRaw, 5, Bytes(noise.begin(), noise.begin() + 5), ""},
      {"raw, like a PCX", pcx_like_raw, PaletteForm::kRaw, 700, pcx_like_raw, ""},
      {"longer, unknown", noise, PaletteForm::kUnknown, 768, Bytes(noise.begin(), noise.begin() + 768), ""},
      {"PCX", pcx, PaletteForm::kPcx, 256, colours, ""},
      {"PCX cut short", Bytes(pcx.begin(), pcx.end() - 1), {}, 0, {}, "PCX file without a 256-colour palette"},
      {"PCX of 4 bits", BuildPcx(4, 1, colours), {}, 0, {}, "PCX file without a 256-colour palette"},
      {"PCX of 3 planes", BuildPcx(8, 3, colours), {}, 0, {}, "PCX file without a 256-colour palette"},
      {"PCX too short for a palette", pcx_too_short, {}, 0, {}, "PCX file without a 256-colour palette"},
      {"PNG, 5 entries", png, PaletteForm::kPng, 5, Entries(5), ""},
      {"PNG, 256 entries", BuildPng(3, Entries(256)), PaletteForm::kPng, 256, Entries(256), ""},
      {"PNG, bad checksum", png_bad_checksum, {}, 0, {}, "damaged PNG file"},
      {"PNG cut short", Bytes(png.begin(), png.begin() + 40), {}, 0, {}, "damaged PNG file"},
      {"PNG, 257 entries", BuildPng(3, Entries(257)), {}, 0, {}, "damaged PNG file"},
      {"PNG in RGB", BuildPng(2, Entries(5)), {}, 0, {}, "PNG file without a palette"},
      {"PNG without PLTE", BuildPng(3, {}), {}, 0, {}, "PNG file without a palette"},
      {"JASC, LF", Lines("JASC-PAL\n0100\n256\n", 256, "\n"), PaletteForm::kJasc, 256, Entries(256), ""},
      {"JASC, CR LF, spaced, text after", Lines(" JASC-PAL \r\n0100\r\n\t2\r\n", 3, " \r\n"), PaletteForm::kJasc, 2, Entries(2), ""},
      {"JASC, no newline at the end", Lines("JASC-PAL\n0100\n1\n", 1, ""), PaletteForm::kJasc, 1, Entries(1), ""},
      {"JASC, a number of 256", Lines("JASC-PAL\n0100\n12\n", 10, "\n") + Text("1 256 3\n"), {}, 0, {}, "line 14: expected three numbers from 0 to 255"},
      {"JASC, an alpha", Lines("JASC-PAL\n0100\n2\n", 2, " 0\n"), PaletteForm::kJasc, 2, Entries(2), ""},
      {"JASC, an alpha of 256", Lines("JASC-PAL\n0100\n2\n", 1, " 256\n"), {}, 0, {}, "line 4: expected three numbers from 0 to 255"},
      {"JASC, five numbers", Lines("JASC-PAL\n0100\n2\n", 1, " 4 5\n"), {}, 0, {}, "line 4: expected three numbers from 0 to 255"},
      {"JASC, too few lines", Lines("JASC-PAL\n0100\n3\n", 2, "\n"), {}, 0, {}, "file ends after 2 of 3 colours"},
      {"JASC, too few, blank lines", Lines("JASC-PAL\n0100\n3\n", 1, "\n") + Text(" \r\n\t\n"), {}, 0, {}, "file ends after 1 of 3 colours"},
      {"JASC, byte-order mark", bom + Lines("JASC-PAL\r\n0100\r\n3\r\n", 3, "\r\n"), PaletteForm::kJasc, 3, Entries(3), ""},
      {"JASC, lower case", Lines("jasc-pal\n0100\n2\n", 2, "\n"), PaletteForm::kJasc, 2, Entries(2), ""},
      {"JASC, CR lines", Lines("JASC-PAL\r0100\r2\r", 2, "\r"), PaletteForm::kJasc, 2, Entries(2), ""},
      {"JASC, CR CR LF lines", Lines("JASC-PAL\r\r\n0100\r\r\n2\r\r\n", 2, "\r\r\n"), PaletteForm::kJasc, 2, Entries(2), ""},
      {"UTF-16 LE", Bytes{0xFF, 0xFE, 'J', 0, 'A', 0, 'S', 0, 'C', 0}, {}, 0, {}, "UTF-16 text: save the palette as UTF-8"},
      {"UTF-16 BE", Bytes{0xFE, 0xFF, 0, 'G', 0, 'I', 0, 'M', 0, 'P'}, {}, 0, {}, "UTF-16 text: save the palette as UTF-8"},
      {"plain text", Text("colours\r\n\t1 2 3\n"), {}, 0, {}, "text in no known palette form"},
      {"plain text after a byte-order mark", bom + Text("colours\n"), {}, 0, {}, "text in no known palette form"},
      {"768 text bytes", Text(text_768), {}, 0, {}, "text in no known palette form"},
      {"768 text bytes, then more", Text(text_768) + Bytes{0, 200}, {}, 0, {}, "text in no known palette form"},
      {"767 text bytes, then binary", text_then_binary, PaletteForm::kUnknown, 768,
       Bytes(text_then_binary.begin(), text_then_binary.end() - 1), ""},
      {"raw, 768 bytes", colours, PaletteForm::kRaw, 768, colours, ""},
      {"JASC, no count", Text("JASC-PAL\r\n0100\r\n"), {}, 0, {}, "line 3: expected a count from 1 to 256"},
      {"JASC, count 257", Lines("JASC-PAL\n0100\n257\n", 257, "\n"), {}, 0, {}, "line 3: expected a count from 1 to 256"},
      {"JASC, count 0", Text("JASC-PAL\n0100\n0\n"), {}, 0, {}, "line 3: expected a count from 1 to 256"},
      {"JASC, no version", Text("JASC-PAL\n1 2 3\n"), {}, 0, {}, "line 2: expected 0100"},
      {"GIMP", gimp_head + Lines("", 2, "\r\n"), PaletteForm::kGimp, 3, Bytes{1, 2, 3, 0, 0, 255, 1, 2, 255}, ""},
      {"GIMP, 256 colours", Lines("GIMP Palette\n", 256, " name\n"), PaletteForm::kGimp, 256, Entries(256), ""},
      {"GIMP, byte-order mark, CR lines", bom + Lines("GIMP Palette\r# x\r", 2, " a\r"), PaletteForm::kGimp, 2, Entries(2), ""},
      {"GIMP, other case", Lines("gimp PALETTE\n", 2, "\n"), PaletteForm::kGimp, 2, Entries(2), ""},
      {"GIMP, 257 colours", Lines("GIMP Palette\nName: x\nColumns: 0\n", 257, "\n"), {}, 0, {}, "line 260: more than 256 colours"},
      {"GIMP, two numbers", gimp_head + Text("1 2\n"), {}, 0, {}, "line 7: expected three numbers from 0 to 255"},
      {"GIMP, a name glued on", gimp_head + Text("1 2 3x\n"), {}, 0, {}, "line 7: expected three numbers from 0 to 255"},
      {"GIMP, a sign", gimp_head + Text("1 -2 3\n"), {}, 0, {}, "line 7: expected three numbers from 0 to 255"},
  };
  for (const Case& c : cases) {
    const Result<LoadedPalette> loaded = ParsePaletteFile(c.bytes);
    if (!c.reason.empty()) {
      ASSERT_FALSE(loaded) << c.what;
      EXPECT_EQ(loaded.error().detail, c.reason) << c.what;
      continue;
    }
    ASSERT_TRUE(loaded) << c.what << ": " << loaded.error().detail;
    EXPECT_EQ(loaded->form, c.form) << c.what;
    EXPECT_EQ(loaded->held, c.held) << c.what;
    EXPECT_TRUE(std::equal(c.first.begin(), c.first.end(), loaded->palette.begin())) << c.what;
    EXPECT_TRUE(std::all_of(loaded->palette.begin() + static_cast<std::ptrdiff_t>(c.first.size()), loaded->palette.end(),
                            [](std::uint8_t b) { return b == 0; })) << c.what;
  }
}

TEST(LoadPalette, ShortFileFillsWhatItHoldsTheRestStaysZero) {
  TempDir dir;
  const std::vector<std::uint8_t> bytes = NoiseBytes(700, 3);
  WriteBytes(dir / "short.pal", bytes);
  const Result<LoadedPalette> loaded = LoadPalette({kWorkingDirectory, dir / "short.pal"});
  ASSERT_TRUE(loaded);
  const Palette& palette = loaded->palette;
  // Entries 0 to 232 and the red byte of entry 233.
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), palette.begin()));
  EXPECT_EQ(std::count(palette.begin() + 700, palette.end(), 0), 68);
}

TEST(LoadPalette, LongFileGivesItsFirst768Bytes) {
  TempDir dir;
  const std::vector<std::uint8_t> bytes = NoiseBytes(1000, 4);
  WriteBytes(dir / "long.pal", bytes);
  const Result<LoadedPalette> loaded = LoadPalette({kWorkingDirectory, dir / "long.pal"});
  ASSERT_TRUE(loaded);
  const Palette& palette = loaded->palette;
  EXPECT_TRUE(std::equal(palette.begin(), palette.end(), bytes.begin()));
}

TEST(LoadPalette, FailsForWhatCannotBeRead) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder");
  for (const std::string& path : {dir / "missing.pal", std::string(), dir / "folder"}) {
    EXPECT_FALSE(LoadPalette({kWorkingDirectory, path})) << path;
  }
}

TEST(SavePalette, WritesExactly768BytesAndReplacesAtomically) {
  TempDir dir;
  Palette palette{};
  const std::vector<std::uint8_t> bytes = NoiseBytes(768, 5);
  std::copy(bytes.begin(), bytes.end(), palette.begin());
  WriteBytes(dir / "p.lmp", std::vector<std::uint8_t>(2000, 1));
  ASSERT_TRUE(SavePalette({kWorkingDirectory, dir / "p.lmp"}, palette));
  EXPECT_EQ(ReadBytes(dir / "p.lmp"), bytes);
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"p.lmp"});
  // A directory in the way: nothing is written, no temporary file stays.
  std::filesystem::create_directory(dir / "d.lmp");
  const Result<void> saved = SavePalette({kWorkingDirectory, dir / "d.lmp"}, palette);
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().detail, "not a regular file");
  EXPECT_FALSE(SavePalette({kWorkingDirectory, dir / "nowhere/p.lmp"}, palette));
  EXPECT_FALSE(SavePalette({kWorkingDirectory, ""}, palette));
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"d.lmp", "p.lmp"}));
}

Palette PaletteOf(const Bytes& bytes) {
  Palette palette{};
  std::copy_n(bytes.begin(), std::min(bytes.size(), palette.size()), palette.begin());
  return palette;
}

TEST(SavePalette, WritesTheFormTheExtensionAsksForInAnyCase) {
  TempDir dir;
  const Bytes colours = RandomPalette(11);
  std::string jasc = "JASC-PAL\r\n0100\r\n256\r\n";
  std::string gimp = "GIMP Palette\nName: my.colours\nColumns: 16\n#\n";
  for (std::size_t i = 0; i < 256; ++i) {
    const int r = colours[3 * i], g = colours[3 * i + 1], b = colours[3 * i + 2];
    jasc += std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b) + "\r\n";
    char line[40];
    std::snprintf(line, sizeof line, "%3d %3d %3d\tIndex %zu\n", r, g, b, i);
    gimp += line;
  }
  for (const auto& [name, expected] : std::vector<std::pair<std::string, Bytes>>{
           {"a.pal", Text(jasc)}, {"b.PaL", Text(jasc)}, {"my.colours.GPL", Text(gimp)}, {"c.lmp", colours},
           {"noext", colours}, {"d.pal.bak", colours}}) {
    ASSERT_TRUE(SavePalette({kWorkingDirectory, dir / name}, PaletteOf(colours))) << name;
    EXPECT_EQ(ReadBytes(dir / name), expected) << name;
  }
  // The PNG: 16 x 16, 8 bits, indexed (IHDR's bytes; its pixels are read back on Linux).
  ASSERT_TRUE(SavePalette({kWorkingDirectory, dir / "e.Png"}, PaletteOf(colours)));
  const Bytes png = ReadBytes(dir / "e.Png");
  ASSERT_GT(png.size(), 26u);
  EXPECT_EQ(Bytes(png.begin() + 16, png.begin() + 26), (Bytes{0, 0, 0, 16, 0, 0, 0, 16, 8, 3}));
}

// An 8-bit one-plane PCX file decoded here; runs are checked to end with their line.
struct Picture {
  std::size_t width = 0, height = 0;
  Bytes pixels, palette;
};

Picture DecodePcx(const Bytes& f) {
  Picture picture;
  const auto get16 = [&](std::size_t at) { return std::size_t{f[at]} | std::size_t{f[at + 1]} << 8; };
  if (f.size() < 128 + 769 || f[0] != 10 || f[2] != 1 || f[3] != 8 || f[65] != 1 || f[f.size() - 769] != 12) return picture;
  const std::size_t width = get16(8) - get16(4) + 1, height = get16(10) - get16(6) + 1, line = get16(66);
  std::size_t at = 128;
  for (std::size_t y = 0; y < height; ++y) {
    Bytes row;
    while (row.size() < line && at + 769 < f.size()) {
      const std::uint8_t first = f[at++];
      const std::size_t count = first >= 0xC0 ? first & 0x3F : 1;
      row.insert(row.end(), count, first >= 0xC0 ? f[at++] : first);
    }
    EXPECT_EQ(row.size(), line) << "row " << y;
    picture.pixels.insert(picture.pixels.end(), row.begin(), row.begin() + static_cast<std::ptrdiff_t>(width));
  }
  EXPECT_EQ(at + 769, f.size()) << "the pixels end where the palette begins";
  picture.width = width, picture.height = height;
  picture.palette.assign(f.end() - 768, f.end());
  return picture;
}

// The colormap's 256 x 320 entries for the 768-byte `raw`, by the plain search: light levels, then
// translucency.
Bytes ExpectedTables(const Bytes& raw) {
  Bytes tables;
  for (std::size_t y = 0; y < 320; ++y) {
    for (std::size_t x = 0; x < 256; ++x) {
      Rgb colour;
      for (std::size_t k = 0; k < 3; ++k) {
        colour[k] = static_cast<std::uint8_t>(y < 64 ? std::min<std::size_t>(255, (raw[3 * x + k] * (63 - y) + 16) >> 5)
                                                     : (raw[3 * x + k] + 2 * raw[3 * (y - 64) + k] + 1) / 3);
      }
      tables.push_back(BruteForceNearest(raw, colour));
    }
  }
  return tables;
}

TEST(ColormapTables, EqualThePlainSearchAlsoOnTies) {
  // Few distinct colours, each many times, many of them equally far from the colours looked up.
  Bytes raw;
  for (int i = 0; i < 256; ++i) raw.insert(raw.end(), {static_cast<std::uint8_t>(i % 7 * 40), static_cast<std::uint8_t>(i % 3 * 100), 20});
  EXPECT_TRUE(ColormapTables(PaletteOf(raw)) == ExpectedTables(raw));
}

TEST(PaletteFiles, GivenPalettesConvertOrAreRefusedWithTheirReason) {
  TempDir dir;
  const Bytes colours = RandomPalette(12);
  Bytes long_file = NoiseBytes(1000, 13);
  long_file[0] = 0;
  Bytes damaged = BuildPng(3, colours);
  damaged[33 + 8 + 100] ^= 1;  // in the PLTE chunk
  WriteBytes(dir / "given.png", BuildPng(3, colours));
  WriteBytes(dir / "short.gpl", Lines("GIMP Palette\n", 2, "\n"));
  WriteBytes(dir / "long.bin", long_file);
  WriteBytes(dir / "damaged.png", damaged);
  const Bytes pcx = BuildPcx(8, 1, colours);
  WriteBytes(dir / "given.pcx", pcx);
  WriteBytes(dir / "cut.pcx", Bytes(pcx.begin(), pcx.end() - 100));
  WriteBytes(dir / "bad.pal", Lines("JASC-PAL\n0100\n12\n", 10, "\n") + Text("1 256 3\n"));
  WriteBytes(dir / "marked.pal", Bytes{0xEF, 0xBB, 0xBF} + Lines("JASC-PAL\r\n0100\r\n256\r\n", 256, "\r\n"));
  WriteBytes(dir / "early.pal", Lines("JASC-PAL\n0100\n3\n", 2, "\n"));
  WriteBytes(dir / "wide.pal", {0xFF, 0xFE, 'J', 0});
  WriteBytes(dir / "notes.txt", Text("colours\n"));
  WriteBytes(dir / "huge.bin", {});
  std::filesystem::resize_file(dir / "huge.bin", (std::uintmax_t{64} << 20) + 1);
  const std::string refused = "tarnvick: cannot read palette file: ";
  const struct {
    std::string name, err;
    Bytes palette;  // empty: nothing is converted
  } cases[] = {
      {"given.pcx", "", colours},
      {"given.png", "", colours},
      {"short.gpl", "tarnvick: short palette file (2 of 256 colours), the missing entries are black: short.gpl\n",
       Entries(2) + Bytes(762, 0)},
      {"long.bin", "tarnvick: not a known palette format, its first 768 bytes are the palette: long.bin\n",
       Bytes(long_file.begin(), long_file.begin() + 768)},
      {"damaged.png", refused + "damaged.png: damaged PNG file\n", {}},
      {"cut.pcx", refused + "cut.pcx: PCX file without a 256-colour palette\n", {}},
      {"bad.pal", refused + "bad.pal: line 14: expected three numbers from 0 to 255\n", {}},
      {"marked.pal", "", Entries(256)},
      {"early.pal", refused + "early.pal: file ends after 2 of 3 colours\n", {}},
      {"wide.pal", refused + "wide.pal: UTF-16 text: save the palette as UTF-8\n", {}},
      {"notes.txt", refused + "notes.txt: text in no known palette form\n", {}},
      {"huge.bin", refused + "huge.bin: file too large for a palette (over 64 MiB)\n", {}},
  };
  for (const auto& c : cases) {
    const auto pair = M32WithWal(16, 16, 4, c.palette.empty() ? colours : c.palette);
    WriteBytes(dir / "tex/a.m32", pair.first);
    std::filesystem::remove(dir / "tex/a.wal");
    const ProgramResult result = RunTarnvick({"tex", "-p" + c.name}, {.working_directory = dir.path()});
    EXPECT_EQ(result.err, c.err) << c.name;
    EXPECT_EQ(result.exit_code, c.palette.empty() ? 4 : 0) << c.name;
    EXPECT_EQ(ReadBytes(dir / "tex/a.wal"), c.palette.empty() ? Bytes{} : pair.second) << c.name;
  }
}

TEST(PaletteFiles, AGeneratedPaletteInEveryFormGivesTheSameWalsAndReadsBack) {
  TempDir dir;
  WriteBytes(dir / "tex/a.m32", M32WithWal(32, 32, 21, RandomPalette(1)).first);
  WriteBytes(dir / "tex/b.m8", M8WithWal(2, 32, 32, 22, RandomPalette(1)).first);
  const auto wals = [&] { return std::make_pair(ReadBytes(dir / "tex/a.wal"), ReadBytes(dir / "tex/b.wal")); };
  ASSERT_EQ(RunTarnvick({"tex", "-opal.lmp"}, {.working_directory = dir.path()}).exit_code, 0);
  const Bytes raw = ReadBytes(dir / "pal.lmp");
  const auto expected = wals();
  ASSERT_FALSE(expected.first.empty());
  for (const std::string name : {"pal.pcx", "pal.PNG", "pal.pal", "pal.gpl", "pal"}) {
    for (const std::string mode : {"-o", "-p"}) {
      std::filesystem::remove(dir / "tex/a.wal");
      std::filesystem::remove(dir / "tex/b.wal");
      const ProgramResult result = RunTarnvick({"tex", mode + name}, {.working_directory = dir.path()});
      EXPECT_EQ(result.exit_code, 0) << mode << name;
      EXPECT_EQ(result.err, "") << mode << name;
      EXPECT_TRUE(wals() == expected) << mode << name;
    }
  }
  // The colormap: its palette, and its tables computed here from the palette.
  const Picture colormap = DecodePcx(ReadBytes(dir / "pal.pcx"));
  ASSERT_EQ(colormap.width, 256u);
  ASSERT_EQ(colormap.height, 320u);
  EXPECT_EQ(colormap.palette, raw);
  EXPECT_TRUE(colormap.pixels == ExpectedTables(raw));
  // Entry 0 at its own light (row 31) and over itself (row 64) is itself; row 63 is all black's entry.
  EXPECT_EQ(colormap.pixels[256 * 31], 0);
  EXPECT_EQ(colormap.pixels[256 * 64], 0);
  EXPECT_EQ(colormap.pixels[256 * 63 + 200], BruteForceNearest(raw, {0, 0, 0}));
}

}  // namespace
}  // namespace tarnvick::testing
