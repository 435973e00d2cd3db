#include "skin/combos.h"

#include "skin/controls.h"

namespace pagerift {

std::optional<ControlId> PairedCombo(ControlId button) {
  switch (button) {
    case picButtonBR: return cmbBR;
    case picButtonR: return cmbR;
    case picButtonChannel: return cmbChannel;
    default: return std::nullopt;
  }
}

void OptionButtonClick(Ports& ports, ControlId button) {
  if (auto combo = PairedCombo(button)) ports.window.ShowDropDown(*combo);
}

}  // namespace pagerift
