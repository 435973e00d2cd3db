// The option buttons drop their paired lists down.
#pragma once

#include <optional>

#include "core/form.h"
#include "core/ports.h"

namespace pagerift {

// The list that `button` opens; nothing for any other control.
std::optional<ControlId> PairedCombo(ControlId button);
void OptionButtonClick(Ports& ports, ControlId button);

}  // namespace pagerift
