// The output-folder choice behind the browse button.
#pragma once

#include "app/ports.h"
#include "skin/form.h"

namespace pagerift {

void BrowseClick(Form& form, Ports& ports);

}  // namespace pagerift
