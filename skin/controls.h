// frmMain as it is created: every control with its design-time values, and
// the pictures of the skin.
#pragma once

#include <string>

#include "core/form.h"

namespace pagerift {

// The window as it is created, before any handler runs.
Form MakeMainForm();

// The pictures of the skin, created once and shared by the controls.
struct Art {
  PicturePtr dropZone, dropZoneLight;
  PicturePtr browseLight, browseDark;
  PicturePtr button, buttonLight;
  PicturePtr pbFill, pbLeft, pbRight;
  PicturePtr background;
};
const Art& SkinArt();

// The output folder the window starts with.
constexpr const char* kDefaultOutputFolder = "C:\\Output";

// One step of the folder label's shortening: a caption over 10 characters
// keeps its first 23 and gains "..".
std::string ShortenCaption(const std::string& caption);

}  // namespace pagerift
