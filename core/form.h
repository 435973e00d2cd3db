// The window model: a window and its controls, as plain data.
// The Win32 shell realises it; every handler reads and changes only this.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pagerift {

// An immutable picture. Controls share pictures by pointer, so "the same
// picture" is identity, not equal pixels.
struct Picture {
  int resource = 0;  // resource id of the artwork in the executable
  int width = 0;     // natural size in pixels
  int height = 0;
  std::string name;
};
using PicturePtr = std::shared_ptr<const Picture>;

enum class ControlKind { Timer, PictureBox, ListBox, TextBox, ComboBox, Label, Image };

// A control, by its place in the window's creation order. The window's own
// definition gives the names (skin/controls.h), so that code names a control
// by a name the compiler knows.
enum ControlId : std::uint8_t;

// Twips: 1440 to the inch, and 15 to the pixel at the 96 DPI the layout was
// drawn for.
constexpr float kTwipsPerInch = 1440;
constexpr float kDesignTwipsPerPixel = 15;

// System colours are 0x800000nn; fixed colours 0x00BBGGRR.
constexpr uint32_t kSysWindowBackground = 0x80000005;
constexpr uint32_t kSysWindowText = 0x80000008;

struct Control {
  ControlId id{};
  ControlKind kind = ControlKind::Image;
  std::optional<ControlId> container{};  // none: the window itself

  // Twips, relative to the container's client area.
  float Left = 0, Top = 0, Width = 0, Height = 0;
  bool Visible = true;
  bool Enabled = true;

  std::string ToolTipText{};
  bool hasFont = false;  // controls without a font have no FontSize to scale
  float FontSize = 0;    // points
  bool fontUnderline = false;
  uint32_t ForeColor = kSysWindowText;
  uint32_t BackColor = kSysWindowBackground;
  bool backTransparent = false;
  bool handPointer = false;

  PicturePtr Picture{};  // empty: transparent image / blank box
  bool Stretch = false;  // image draws its picture at its own size

  std::string Caption{};  // labels
  bool alignRight = false;
  bool autoSize = false;  // label sized to its caption; keeps its right edge when right-aligned

  std::string Text{};               // text box
  std::vector<std::string> List{};  // list box and combo items
  int ListIndex = -1;               // combo selection, -1 for none
  int TabIndex = -1;                // -1: takes no focus

  int Interval = 0;  // timers, milliseconds

  bool IsTimer() const { return kind == ControlKind::Timer; }
  bool IsWindowed() const {  // has a native window of its own
    return kind == ControlKind::PictureBox || kind == ControlKind::ListBox ||
           kind == ControlKind::TextBox || kind == ControlKind::ComboBox;
  }

  // Property writes that a control may refuse, as the toolkit's would.
  // They return false and leave the value as it was.
  bool SetWidth(float w);
  bool SetHeight(float h);
  bool SetListIndex(int index);
};

struct Form {
  std::string Caption;
  float Width = 0, Height = 0;      // twips; the outer size equals the client area
  std::vector<Control> controls{};  // creation order: controls[id] has that id
  int32_t lngStep = 0;

  Control& operator[](ControlId id) { return controls[id]; }
  const Control& operator[](ControlId id) const { return controls[id]; }
};

}  // namespace pagerift
