#include "palette/palette_file.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "io/atomic_file.h"
#include "io/file_ref.h"
#include "io/read_file.h"
#include "palette/colormap_tables.h"
#include "palette/pcx_palette.h"
#include "palette/png_palette.h"
#include "palette/text_palette.h"
#include "texture/pak_archive.h"

namespace tarnvick {
namespace {

LoadedPalette Loaded(const PaletteColours& read, PaletteForm form) { return {read.palette, form, read.colours}; }

// The whole content of `file`, read to its end whatever size it claims (some files report none).
Result<std::vector<std::uint8_t>> ReadWhole(const FileRef& file) {
  const Result<ScopedFile> fd = OpenRegularFile(file);
  if (!fd) return Failure{fd.error()};
  std::vector<std::uint8_t> bytes;
  std::size_t used = 0;
  for (bytes.resize(std::size_t{1} << 16);; bytes.resize(std::min(2 * bytes.size(), kMostPaletteFileBytes + 1))) {
    const Result<std::size_t> got = ReadAt(fd->get(), bytes.data() + used, bytes.size() - used, used);
    if (!got) return Failure{got.error()};
    used += *got;
    if (used < bytes.size()) break;
    if (used > kMostPaletteFileBytes) return Fail(ErrorKind::kBadPalette, "file too large for a palette (over 64 MiB)");
  }
  bytes.resize(used);
  return bytes;
}

// The whole content of the entry `part` of an archive.
Result<std::vector<std::uint8_t>> ReadPart(const FilePart& part) {
  if (part.size > kMostPaletteFileBytes) return Fail(ErrorKind::kBadPalette, "file too large for a palette (over 64 MiB)");
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(part.size));
  const Result<std::size_t> got = ReadAt(part.file->get(), bytes.data(), bytes.size(), part.offset);
  if (!got) return Failure{got.error()};
  if (*got != bytes.size()) return Fail(ErrorKind::kReadError, "the file shrank");
  return bytes;
}

// The content of `file`, or, when a leading part of its path (cut at a separator) names a regular
// file that is an archive, of the entry the rest of the path names in it.
Result<std::vector<std::uint8_t>> ArchivedOrWhole(const FileRef& file) {
  const std::optional<std::size_t> archive = ArchivePrefix(file.name);
  if (!archive) return ReadWhole(file);
  const Result<PakArchive> opened = PakArchive::Open({file.directory, file.name.substr(0, *archive)});
  if (!opened) return Failure{opened.error()};
  const Result<FilePart> part = opened->Find(file.name.substr(*archive + 1));
  if (!part) return Failure{part.error()};
  return ReadPart(*part);
}

std::vector<std::uint8_t> BytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// Whether `bytes` begin with a UTF-16 byte-order mark, in either byte order.
bool IsUtf16(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF));
}

// Whether the first 768 bytes (all of a shorter file) are text: tabs, line ends and printable ASCII,
// after a UTF-8 byte-order mark when there is one.
bool IsText(std::span<const std::uint8_t> bytes) {
  bytes = bytes.first(std::min(bytes.size(), kPaletteFileSize));
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) bytes = bytes.subspan(3);
  return std::ranges::all_of(bytes,
                             [](std::uint8_t c) { return c == '\t' || c == '\n' || c == '\r' || (c >= 32 && c <= 126); });
}

// The part of a path after its last separator.
std::string BaseName(const std::string& name) {
  const auto last = std::find_if(name.rbegin(), name.rend(), IsSeparator);
  return std::string(last.base(), name.end());
}

}  // namespace

Result<LoadedPalette> ParsePaletteFile(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return Fail(ErrorKind::kEmptyFile);
  if (IsPng(bytes)) {
    const Result<PaletteColours> read = ParsePngPalette(bytes);
    if (!read) return Failure{read.error()};
    return Loaded(*read, PaletteForm::kPng);
  }
  if (IsUtf16(bytes)) return Fail(ErrorKind::kBadPalette, "UTF-16 text: save the palette as UTF-8");
  if (const TextPaletteKind kind = TextPaletteKindOf(bytes); kind != TextPaletteKind::kNone) {
    const Result<PaletteColours> read = ParseTextPalette(bytes);
    if (!read) return Failure{read.error()};
    return Loaded(*read, kind == TextPaletteKind::kJasc ? PaletteForm::kJasc : PaletteForm::kGimp);
  }
  // A raw palette may begin like a PCX header: only a longer file can be a PCX picture.
  if (bytes.size() > kPaletteFileSize && IsPcx(bytes)) {
    const Result<PaletteColours> read = ParsePcxPalette(bytes);
    if (!read) return Failure{read.error()};
    return Loaded(*read, PaletteForm::kPcx);
  }
  // Notes or a palette of a form not read here: its characters would be taken for colours.
  if (IsText(bytes)) return Fail(ErrorKind::kBadPalette, "text in no known palette form");
  LoadedPalette loaded;
  loaded.held = std::min(bytes.size(), kPaletteFileSize);
  loaded.form = bytes.size() > kPaletteFileSize ? PaletteForm::kUnknown : PaletteForm::kRaw;
  std::copy_n(bytes.begin(), loaded.held, loaded.palette.begin());
  return loaded;
}

Result<LoadedPalette> LoadPalette(const FileRef& file) {
  const Result<std::vector<std::uint8_t>> bytes = ArchivedOrWhole(file);
  if (!bytes) return Failure{bytes.error()};
  return ParsePaletteFile(*bytes);
}

PaletteForm PaletteFormFor(const std::string& name) {
  const std::string base = BaseName(name);
  const std::size_t dot = base.rfind('.');
  std::string extension = dot == std::string::npos ? std::string() : base.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == "pal") return PaletteForm::kJasc;
  if (extension == "gpl") return PaletteForm::kGimp;
  if (extension == "png") return PaletteForm::kPng;
  if (extension == "pcx") return PaletteForm::kPcx;
  return PaletteForm::kRaw;
}

Result<void> SavePalette(const FileRef& file, const Palette& palette) {
  std::vector<std::uint8_t> bytes;
  switch (PaletteFormFor(file.name)) {
    case PaletteForm::kJasc:
      bytes = BytesOf(EncodeJascPalette(palette));
      break;
    case PaletteForm::kGimp: {
      const std::string base = BaseName(file.name);
      bytes = BytesOf(EncodeGimpPalette(palette, base.substr(0, base.rfind('.'))));
      break;
    }
    case PaletteForm::kPng: {
      Result<std::vector<std::uint8_t>> png = EncodePngPalette(palette);
      if (!png) return FailErrno(ErrorKind::kCannotWrite, ENOMEM);
      bytes = std::move(*png);
      break;
    }
    case PaletteForm::kPcx:
      bytes = EncodePcx(kColormapWidth, kColormapHeight, ColormapTables(palette), palette);
      break;
    case PaletteForm::kRaw:
    case PaletteForm::kUnknown:
      bytes.assign(palette.begin(), palette.end());
      break;
  }
  return WriteFileAtomically(file, {bytes}, LinkPolicy::kWriteThrough);
}

}  // namespace tarnvick
