// What a frame would otherwise give the borderless window.
#pragma once

#include <string>

#include "core/ports.h"
#include "core/form.h"

namespace pagerift {

constexpr const char* kHelpHost = "www.pagerift.example";
std::string HelpUrl();

void ShapeTick(Form& form, Ports& ports);  // Timer3
void BackgroundMouseMove(Form& form, Ports& ports, int buttons);
void MinimizeClick(Form& form, Ports& ports);  // imgMin
[[noreturn]] void Unload(Ports& ports);        // imgExit, or any unload
void HelpClick(Ports& ports);                  // imgHelp

}  // namespace pagerift
