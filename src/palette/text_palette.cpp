#include "palette/text_palette.h"

#include <algorithm>
#include <charconv>

namespace tarnvick {
namespace {

constexpr std::string_view kJascHeader = "JASC-PAL";
constexpr std::string_view kGimpHeader = "GIMP Palette";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A line without its CR (before the LF) and the spaces and tabs at either end.
std::string_view Trim(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  return line;
}

std::string_view TextOf(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The trimmed lines of a text one by one, counted from 1; past the end, empty lines.
class Lines {
 public:
  explicit Lines(std::string_view text) : rest_(text) {}

  std::string_view Next() {
    ++number_;
    const std::size_t end = rest_.find('\n');
    const std::string_view line = rest_.substr(0, end);
    rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
    if (end == std::string_view::npos) ended_ = true;
    return Trim(line);
  }
  bool AtEnd() const { return ended_; }
  std::size_t number() const { return number_; }

 private:
  std::string_view rest_;
  std::size_t number_ = 0;
  bool ended_ = false;
};

// `text` as a whole number (digits only) up to `most`.
bool WholeNumber(std::string_view text, unsigned most, unsigned& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size() && value <= most;
}

// Reads three whole numbers from 0 to 255, separated by spaces or tabs, at the start of `line`
// into `rgb`. After them the line must end, or with `name_allowed` go on with a blank and a name.
bool ReadColour(std::string_view line, bool name_allowed, std::uint8_t* rgb) {
  for (int k = 0; k < 3; ++k) {
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    std::size_t length = 0;
    while (length < line.size() && !IsBlank(line[length])) ++length;
    unsigned value = 0;
    if (!WholeNumber(line.substr(0, length), 255, value)) return false;
    rgb[k] = static_cast<std::uint8_t>(value);
    line.remove_prefix(length);
  }
  return line.empty() || name_allowed;
}

Failure BadLine(const Lines& lines, const std::string& what) {
  return Fail(ErrorKind::kBadPalette, "line " + std::to_string(lines.number()) + ": " + what);
}

constexpr const char* kExpectedColour = "expected three numbers from 0 to 255";

Result<PaletteColours> ParseJasc(Lines& lines) {
  if (lines.Next() != "0100") return BadLine(lines, "expected 0100");
  unsigned count = 0;
  if (!WholeNumber(lines.Next(), kPaletteEntries, count) || count == 0) {
    return BadLine(lines, "expected a count from 1 to 256");
  }
  PaletteColours read;
  for (read.colours = 0; read.colours < count; ++read.colours) {
    if (!ReadColour(lines.Next(), false, read.palette.data() + 3 * read.colours)) return BadLine(lines, kExpectedColour);
  }
  return read;
}

Result<PaletteColours> ParseGimp(Lines& lines) {
  PaletteColours read;
  while (!lines.AtEnd()) {
    const std::string_view line = lines.Next();
    if (line.empty() || line.starts_with('#') || line.starts_with("Name:") || line.starts_with("Columns:")) continue;
    std::uint8_t rgb[3];
    if (!ReadColour(line, true, rgb)) return BadLine(lines, kExpectedColour);
    if (read.colours == kPaletteEntries) return BadLine(lines, "more than 256 colours");
    std::copy_n(rgb, 3, read.palette.begin() + static_cast<std::ptrdiff_t>(3 * read.colours++));
  }
  return read;
}

}  // namespace

TextPaletteKind TextPaletteKindOf(std::span<const std::uint8_t> bytes) {
  const std::string_view first = Lines(TextOf(bytes)).Next();
  if (first == kJascHeader) return TextPaletteKind::kJasc;
  if (first == kGimpHeader) return TextPaletteKind::kGimp;
  return TextPaletteKind::kNone;
}

Result<PaletteColours> ParseTextPalette(std::span<const std::uint8_t> bytes) {
  Lines lines(TextOf(bytes));
  const std::string_view first = lines.Next();
  if (first == kJascHeader) return ParseJasc(lines);
  if (first == kGimpHeader) return ParseGimp(lines);
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
