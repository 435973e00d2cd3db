#include "skin/hover.h"

#include "skin/controls.h"

namespace pagerift {

namespace {

void ShowPictureOf(Form& form, ControlId target, ControlId holder) {
  form[target].Picture = form[holder].Picture;
}

}  // namespace

void DropZoneMouseMove(Form& form, Ports& ports, float x, float y) {
  const Control& zone = form[picDrag];
  // The edges count as inside. While the capture is held, moves outside the
  // zone still arrive here, which is how the highlight learns to go away.
  const bool inside = x >= 0 && x <= zone.Width && y >= 0 && y <= zone.Height;
  if (inside) {
    ShowPictureOf(form, picDrag, imgDragLight);
    ports.window.SetCapture(picDrag);
  } else {
    ShowPictureOf(form, picDrag, imgDrag);
    ports.window.ReleaseCapture();
  }
}

void DropZoneMouseDown(Form& form, Ports& ports) {
  ShowPictureOf(form, picDrag, imgDrag);
  // Let the normal picture reach the screen before the click's dialog opens.
  ports.pump.DoEvents();
}

void BrowseMouseMove(Form& form) { ShowPictureOf(form, imgBrowse, imgBrowseLight); }

void BrowseMouseDown(Form& form) { ShowPictureOf(form, imgBrowse, imgBrowseDark); }

void OptionButtonMouseMove(Form& form, ControlId button) {
  ShowPictureOf(form, button, imgButtonLight);
}

void ResetHover(Form& form) {
  for (ControlId button : {picButtonChannel, picButtonR, picButtonBR}) {
    ShowPictureOf(form, button, imgButton);
  }
  form[imgBrowse].Picture = nullptr;
  ShowPictureOf(form, picDrag, imgDrag);
}

}  // namespace pagerift
