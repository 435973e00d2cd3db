// The option buttons drop their paired lists down.
#pragma once

#include <string>

#include "core/ports.h"

namespace pagerift {

// The combo that `button` opens, or empty for another control.
std::string PairedCombo(const std::string& button);
void OptionButtonClick(Ports& ports, const std::string& button);

}  // namespace pagerift
