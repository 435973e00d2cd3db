// Highlight and pressed pictures on pointer events.
#pragma once

#include "core/ports.h"
#include "core/form.h"

namespace pagerift {

// x, y in twips relative to picDrag's client area.
void DropZoneMouseMove(Form& form, Ports& ports, float x, float y);
void DropZoneMouseDown(Form& form, Ports& ports);
void BrowseMouseMove(Form& form);
void BrowseMouseDown(Form& form);
void OptionButtonMouseMove(Form& form, ControlId button);
// The reset run by a move over the bare window surface.
void ResetHover(Form& form);

}  // namespace pagerift
