#include "palette/text_palette.h"

#include <algorithm>
#include <charconv>

namespace tarnvick {
namespace {

constexpr std::string_view kJascHeader = "JASC-PAL";
constexpr std::string_view kGimpHeader = "GIMP Palette";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A line without the spaces, tabs and CRs at either end.
std::string_view Trim(std::string_view line) {
  constexpr std::string_view kEnds = " \t\r";
  const std::size_t first = line.find_first_not_of(kEnds);
  if (first == std::string_view::npos) return {};
  return line.substr(first, line.find_last_not_of(kEnds) + 1 - first);
}

// The text of a palette file, without the UTF-8 byte-order mark Windows editors save before it.
std::string_view TextOf(std::span<const std::uint8_t> bytes) {
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with(kUtf8Mark)) text.remove_prefix(kUtf8Mark.size());
  return text;
}

// Whether `line` is `header`, letters in either case.
bool IsHeader(std::string_view line, std::string_view header) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::ranges::equal(line, header, {}, lower, lower);
}

TextPaletteKind KindOfFirstLine(std::string_view line) {
  if (IsHeader(line, kJascHeader)) return TextPaletteKind::kJasc;
  if (IsHeader(line, kGimpHeader)) return TextPaletteKind::kGimp;
  return TextPaletteKind::kNone;
}

// The trimmed lines of a text one by one, counted from 1; past the end, empty lines. Lines end at
// LF, or at CR in a text without an LF (as older editors save them).
class Lines {
 public:
  explicit Lines(std::string_view text) : rest_(text), end_(text.contains('\n') ? '\n' : '\r') {}

  std::string_view Next() {
    ++number_;
    const std::size_t end = rest_.find(end_);
    const std::string_view line = rest_.substr(0, end);
    rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
    return Trim(line);
  }
  // Whether only blank lines are left.
  bool AtEnd() const { return rest_.find_first_not_of(" \t\r\n") == std::string_view::npos; }
  std::size_t number() const { return number_; }

 private:
  std::string_view rest_;
  char end_;
  std::size_t number_ = 0;
};

// `text` as a whole number (digits only) up to `most`.
bool WholeNumber(std::string_view text, unsigned most, unsigned& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size() && value <= most;
}

// Reads a whole number from 0 to 255 after the spaces and tabs at the start of `line` into
// `byte`, and takes them off `line`. The number ends at a space or a tab, or with the line.
bool ReadByte(std::string_view& line, std::uint8_t& byte) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  std::size_t length = 0;
  while (length < line.size() && !IsBlank(line[length])) ++length;
  unsigned value = 0;
  if (!WholeNumber(line.substr(0, length), 255, value)) return false;
  byte = static_cast<std::uint8_t>(value);
  line.remove_prefix(length);
  return true;
}

// Reads the three numbers of a colour at the start of `line` into `rgb`, taking them off `line`.
bool ReadColour(std::string_view& line, std::uint8_t* rgb) {
  return ReadByte(line, rgb[0]) && ReadByte(line, rgb[1]) && ReadByte(line, rgb[2]);
}

Failure BadLine(const Lines& lines, const std::string& what) {
  return Fail(ErrorKind::kBadPalette, "line " + std::to_string(lines.number()) + ": " + what);
}

constexpr const char* kExpectedColour = "expected three numbers from 0 to 255";

// A JASC colour line: the colour, then only an alpha some editors write, which is not kept.
bool ReadJascColour(std::string_view line, std::uint8_t* rgb) {
  std::uint8_t alpha = 0;
  return ReadColour(line, rgb) && (line.empty() || (ReadByte(line, alpha) && line.empty()));
}

Result<PaletteColours> ParseJasc(Lines& lines) {
  if (lines.Next() != "0100") return BadLine(lines, "expected 0100");
  unsigned count = 0;
  if (!WholeNumber(lines.Next(), kPaletteEntries, count) || count == 0) {
    return BadLine(lines, "expected a count from 1 to 256");
  }
  PaletteColours read;
  for (read.colours = 0; read.colours < count; ++read.colours) {
    if (lines.AtEnd()) {
      return Fail(ErrorKind::kBadPalette, "file ends after " + std::to_string(read.colours) + " of " +
                                              std::to_string(count) + " colours");
    }
    if (!ReadJascColour(lines.Next(), read.palette.data() + 3 * read.colours)) return BadLine(lines, kExpectedColour);
  }
  return read;
}

Result<PaletteColours> ParseGimp(Lines& lines) {
  PaletteColours read;
  while (!lines.AtEnd()) {
    std::string_view line = lines.Next();
    if (line.empty() || line.starts_with('#') || line.starts_with("Name:") || line.starts_with("Columns:")) continue;
    // A name may follow the colour.
    std::uint8_t rgb[3];
    if (!ReadColour(line, rgb)) return BadLine(lines, kExpectedColour);
    if (read.colours == kPaletteEntries) return BadLine(lines, "more than 256 colours");
    std::copy_n(rgb, 3, read.palette.begin() + static_cast<std::ptrdiff_t>(3 * read.colours++));
  }
  return read;
}

}  // namespace

TextPaletteKind TextPaletteKindOf(std::span<const std::uint8_t> bytes) {
  return KindOfFirstLine(Lines(TextOf(bytes)).Next());
}

Result<PaletteColours> ParseTextPalette(std::span<const std::uint8_t> bytes) {
  Lines lines(TextOf(bytes));
  switch (KindOfFirstLine(lines.Next())) {
    case TextPaletteKind::kJasc:
      return ParseJasc(lines);
    case TextPaletteKind::kGimp:
      return ParseGimp(lines);
    case TextPaletteKind::kNone:
      break;
  }
  return BadLine(lines, "expected JASC-PAL or GIMP Palette");
}

std::string EncodeJascPalette(const Palette& palette) {
  std::string text = std::string(kJascHeader) + "\r\n0100\r\n256\r\n";
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    text += std::to_string(palette[3 * i]) + ' ' + std::to_string(palette[3 * i + 1]) + ' ' +
            std::to_string(palette[3 * i + 2]) + "\r\n";
  }
  return text;
}

std::string EncodeGimpPalette(const Palette& palette, std::string_view name) {
  // A control character in the name (a newline) would start a line of its own.
  std::string shown(name);
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  std::string text = std::string(kGimpHeader) + "\nName: " + shown + "\nColumns: 16\n#\n";
  const auto aligned = [](std::uint8_t value) {
    const std::string digits = std::to_string(value);
    return std::string(3 - digits.size(), ' ') + digits;
  };
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    text += aligned(palette[3 * i]) + ' ' + aligned(palette[3 * i + 1]) + ' ' + aligned(palette[3 * i + 2]) +
            "\tIndex " + std::to_string(i) + '\n';
  }
  return text;
}

}  // namespace tarnvick
