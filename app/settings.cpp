#include "app/settings.h"

#include <algorithm>

#include "core/text.h"
#include "skin/controls.h"

namespace pagerift {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsDelimiter(char c) { return c == ',' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::vector<std::string> ReadFields(std::string_view text, size_t maxFields) {
  std::vector<std::string> fields;
  const size_t n = text.size();
  size_t i = 0;
  while (i < n && fields.size() < maxFields) {
    while (i < n && IsBlank(text[i])) ++i;
    if (i < n && text[i] == '"') {
      // A quote left open runs to the end of the file.
      const size_t close = std::min(text.find('"', i + 1), n);
      fields.emplace_back(text.substr(i + 1, close - i - 1));
      i = std::min(close + 1, n);
      while (i < n && !IsDelimiter(text[i])) ++i;
    } else {
      const size_t start = i;
      while (i < n && !IsDelimiter(text[i])) ++i;
      fields.emplace_back(TrimBlanks(text.substr(start, i - start)));
    }
    if (i == n) break;
    const char delimiter = text[i++];
    if (delimiter == '\r' && i < n && text[i] == '\n') ++i;
    // "2,1,0," still names a fourth field, an empty one.
    if (delimiter == ',' && i == n && fields.size() < maxFields) fields.emplace_back();
  }
  return fields;
}

std::optional<int> ConvertPosition(std::string_view field, std::string_view decimalSeparator) {
  if (decimalSeparator.empty()) decimalSeparator = ".";
  size_t i = 0;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';

  // Anything past this is out of range anyway; the cap keeps long digit runs
  // from overflowing.
  constexpr long kCap = 1'000'000;
  long magnitude = 0;
  bool anyDigit = false;
  for (; i < field.size() && IsDigit(field[i]); ++i, anyDigit = true)
    magnitude = std::min(magnitude * 10 + (field[i] - '0'), kCap);

  // Only the first fraction digit and whether any later one is non-zero
  // matter for rounding half to even.
  int firstFraction = 0;
  bool laterNonZero = false;
  if (field.substr(i).starts_with(decimalSeparator)) {
    i += decimalSeparator.size();
    for (bool first = true; i < field.size() && IsDigit(field[i]); ++i, first = false) {
      anyDigit = true;
      if (first) {
        firstFraction = field[i] - '0';
      } else if (field[i] != '0') {
        laterNonZero = true;
      }
    }
  }
  if (!anyDigit || i != field.size()) return std::nullopt;

  if (firstFraction > 5 || (firstFraction == 5 && (laterNonZero || magnitude % 2 == 1))) {
    ++magnitude;
  }
  const long value = negative ? -magnitude : magnitude;
  if (value < -32768 || value > 32767) return std::nullopt;
  return static_cast<int>(value);
}

std::string DecodeSettingsText(const std::string& bytes, ShellPort& system) {
  if (std::string_view(bytes).starts_with(kUtf8Bom)) return bytes.substr(kUtf8Bom.size());
  return system.AnsiToUtf8(bytes);
}

void ApplySettings(Form& form, const std::optional<std::string>& fileBytes, ShellPort& system) {
  if (!fileBytes) return;
  const std::vector<std::string> fields = ReadFields(DecodeSettingsText(*fileBytes, system), 4);
  const std::string separator = system.DecimalSeparator();

  // A field the file does not have leaves its target alone, and so does a
  // position the list refuses.
  static constexpr ControlId kLists[] = {cmbBR, cmbR, cmbChannel};
  for (size_t i = 0; i < std::size(kLists) && i < fields.size(); ++i) {
    if (auto position = ConvertPosition(fields[i], separator)) {
      form[kLists[i]].SetListIndex(*position);
    }
  }
  // A text box ends its text at a NUL: cut the folder there too, so that what the
  // box shows and what the job uses agree, and a field starting with NUL is empty.
  if (fields.size() > 3) form[txtPath].Text = fields[3].substr(0, fields[3].find('\0'));
}

}  // namespace pagerift
