// frmMain as it is created: every control with its design-time values, and
// the pictures of the skin.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/form.h"

namespace pagerift {

// frmMain's controls, in the order the window creates them: the order of
// their ids, and the order start-up walks them in.
// clang-format off
#define PAGERIFT_CONTROLS(X)                                                                 \
  X(Timer3) X(Timer1) X(picDrag) X(lstFile) X(picButtonChannel) X(picButtonR) X(picButtonBR) \
  X(Timer2) X(txtPath) X(cmbChannel) X(cmbR) X(cmbBR) X(lblPb) X(lblPath) X(imgMin)          \
  X(imgDragLight) X(imgDrag) X(imgBrowseDark) X(imgBrowseLight) X(imgBrowse)                 \
  X(imgButtonLight) X(imgButton) X(imgPB) X(imgPBRight) X(imgPBLeft) X(imgHelp) X(imgExit)
// clang-format on

#define PAGERIFT_CONTROL_ID(name) name,
enum ControlId : std::uint8_t { PAGERIFT_CONTROLS(PAGERIFT_CONTROL_ID) };
#undef PAGERIFT_CONTROL_ID

#define PAGERIFT_CONTROL_COUNT(name) +1
constexpr size_t kControlCount = 0 PAGERIFT_CONTROLS(PAGERIFT_CONTROL_COUNT);
#undef PAGERIFT_CONTROL_COUNT

// The control's name as the window's designer wrote it, for messages and logs.
const char* ControlName(ControlId id);

// The queue of source paths: the hidden list lstFile.
inline std::vector<std::string>& Queue(Form& form) { return form[lstFile].List; }

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
