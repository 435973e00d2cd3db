#include "app/window_behaviour.h"

#include <cstdlib>

#include "core/events.h"
#include "skin/controls.h"
#include "skin/hover.h"

namespace pagerift {

namespace {

constexpr uint32_t kColorKey = 0x00FF00FF;  // magenta: the skin's cut-outs
constexpr uint8_t kKeyAlpha = 250;

}  // namespace

std::string HelpUrl() { return std::string("http://") + kHelpHost + "/pagerift.html"; }

void ShapeTick(Form& form, Ports& ports) {
  // The shape is given once; the window keeps it for the rest of the run.
  form[Timer3].Enabled = false;
  ports.window.ApplyColorKey(kColorKey, kKeyAlpha);
}

void BackgroundMouseMove(Form& form, Ports& ports, int buttons) {
  // Starting a system move without the left button held makes the window
  // jump as the pointer merely passes over it.
  if (buttons & kLeftButton) {
    ports.window.ReleaseCapture();
    ports.window.BeginMove();
  }
  ResetHover(form);
}

void MinimizeClick(Form& form, Ports& ports) {
  ports.window.Minimize();
  form[imgMin].Picture = nullptr;
}

void Unload(Ports& ports) {
  ports.shell.EndProgram();
  std::abort();  // a shell whose EndProgram came back must still not run on
}

void HelpClick(Ports& ports) { ports.shell.Open(HelpUrl()); }

}  // namespace pagerift
