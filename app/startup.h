// The start-up sequence of the window.
#pragma once

#include <string>

#include "app/ports.h"
#include "skin/form.h"

namespace pagerift {

constexpr const char* kDefaultOutputFolder = "C:\\Output";

// Runs once when the window has been created. Ends the program when
// another instance runs.
void RunStartup(Form& form, Ports& ports);

// Keeps every control at its design pixel size when the screen has
// `twipsX` x `twipsY` twips per pixel.
void ScaleToScreen(Form& form, float twipsX, float twipsY);

// One step of the folder label's shortening.
std::string ShortenCaption(const std::string& caption);

}  // namespace pagerift
