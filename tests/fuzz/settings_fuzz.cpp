// libFuzzer target: setup.ini through the whole start-up, against the fakes of the unit tests.
// The first byte picks the user's decimal separator; the rest is the file.
#include "app/settings.h"
#include "app/startup.h"
#include "fakes.h"
#include "skin/controls.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace pagerift;

namespace {

[[noreturn]] void broken(const std::string& what) {
  std::fprintf(stderr, "broken promise: %s\n", what.c_str());
  std::abort();
}

// A separator changes only which character separates the fraction.
void check_position(const std::string& field) {
  std::optional<int> point = ConvertPosition(field, ".");
  if (point && (*point < -32768 || *point > 32767)) broken("position out of range: " + field);
  if (field.find(',') != std::string::npos) return;
  std::string with_comma = field;
  std::replace(with_comma.begin(), with_comma.end(), '.', ',');
  if (ConvertPosition(with_comma, ",") != point) broken("the separator changes " + field);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const char* const kSeparators[] = {".", ",", "\xD9\xAB", ""};
  testing::FakeWorld world;
  world.shell.decimalSeparator = kSeparators[data[0] % std::size(kSeparators)];
  std::string ini(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::vector<std::string> fields = ReadFields(ini, 4);
  if (fields.size() > 4) broken("more than four fields");
  for (auto& field : fields) check_position(field);

  world.fs.files["C:\\Apps\\Pagerift\\setup.ini"] = ini;
  Form form = MakeMainForm();
  RunStartup(form, world.ports);
  for (ControlId list : {cmbBR, cmbR, cmbChannel}) {
    const Control& c = form[list];
    if (c.ListIndex < -1 || c.ListIndex >= static_cast<int>(c.List.size()))
      broken("a list position out of range");
  }
  const std::string& path = form[txtPath].Text;
  if (path.empty() || path.find('\0') != std::string::npos) broken("an output folder of no use");
  return 0;
}
