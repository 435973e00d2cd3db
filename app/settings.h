// setup.ini: four delimited fields read once at start-up.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ports.h"
#include "core/form.h"

namespace pagerift {

// Splits the file's text into at most `maxFields` fields. A comma or a line
// end (CR LF, LF or a lone CR) ends a field; blanks around a field are
// trimmed. A field whose first non-blank character is a double quote runs to
// the next double quote, may hold commas and line ends, and keeps its blanks;
// anything between the closing quote and the next delimiter is dropped. An
// empty line is one empty field; a trailing comma announces one more, empty,
// field, a trailing line end does not.
std::vector<std::string> ReadFields(std::string_view text, size_t maxFields);

// A list position from a field: a plain decimal number with an optional sign
// and fraction, the fraction rounded half to even. Nothing when the text is
// anything else, or the result does not fit a 16-bit signed value.
std::optional<int> ConvertPosition(std::string_view field, std::string_view decimalSeparator = ".");

// The file's bytes as UTF-8: a UTF-8 byte order mark is honoured, anything
// else is text in the system's ANSI code page.
std::string DecodeSettingsText(const std::string& bytes, ShellPort& system);

// Applies the file's bytes (nothing when the file is absent) to the lists
// and the output folder. `system` supplies the code page and the decimal
// separator.
void ApplySettings(Form& form, const std::optional<std::string>& fileBytes, ShellPort& system);

}  // namespace pagerift
