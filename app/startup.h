// The start-up sequence of the window.
#pragma once

#include "core/form.h"
#include "core/ports.h"

namespace pagerift {

// Runs once when the window has been created. Ends the program when
// another instance runs.
void RunStartup(Form& form, Ports& ports);

// Keeps every control at its design pixel size when the screen has
// `twipsX` x `twipsY` twips per pixel.
void ScaleToScreen(Form& form, float twipsX, float twipsY);

}  // namespace pagerift
