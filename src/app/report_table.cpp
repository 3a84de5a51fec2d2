#include "app/report_table.h"

#include "app/console.h"

namespace tarnvick {
namespace {

// A field as RFC 4180 has it: the text's own bytes, quoted (its quotes doubled) when it holds a
// comma, a quote or a line break.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

ReportTable::ReportTable(bool blurred)
    : blurred_(blurred), text_(blurred ? "path,width,height,psnr_db,blurred_psnr_db\n" : "path,width,height,psnr_db\n") {}

void ReportTable::Add(const std::string& path, std::uint32_t width, std::uint32_t height, const ConversionError& error) {
  text_ += CsvField(path) + "," + std::to_string(width) + "," + std::to_string(height) + "," +
           PsnrText(error) + (blurred_ ? "," + BlurredPsnrText(error) : "") + "\n";
}

std::vector<std::uint8_t> ReportTable::Bytes() const { return {text_.begin(), text_.end()}; }

}  // namespace tarnvick
