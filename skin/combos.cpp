#include "skin/combos.h"

namespace pagerift {

std::string PairedCombo(const std::string& button) {
  if (button == "picButtonBR") return "cmbBR";
  if (button == "picButtonR") return "cmbR";
  if (button == "picButtonChannel") return "cmbChannel";
  return {};
}

void OptionButtonClick(Ports& ports, const std::string& button) {
  const std::string combo = PairedCombo(button);
  if (!combo.empty()) ports.window.ShowDropDown(combo);
}

}  // namespace pagerift
