// The output-folder choice behind the browse button.
#pragma once

#include "core/ports.h"
#include "core/form.h"

namespace pagerift {

void BrowseClick(Form& form, Ports& ports);

}  // namespace pagerift
