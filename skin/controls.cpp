#include "skin/controls.h"

#include "core/text.h"
#include "skin/art/resource_ids.h"

namespace pagerift {

namespace {

PicturePtr MakePicture(int resource, int w, int h, const char* name) {
  return std::make_shared<const Picture>(Picture{resource, w, h, name});
}

}  // namespace

const Art& SkinArt() {
  static const Art art{
      MakePicture(IDR_DROPZONE, 545, 302, "dropzone"),
      MakePicture(IDR_DROPZONE_LIGHT, 545, 302, "dropzone_light"),
      MakePicture(IDR_BROWSE_LIGHT, 42, 22, "browse_light"),
      MakePicture(IDR_BROWSE_DARK, 42, 22, "browse_dark"),
      MakePicture(IDR_BUTTON, 18, 18, "button"),
      MakePicture(IDR_BUTTON_LIGHT, 18, 18, "button_light"),
      MakePicture(IDR_PB_FILL, 1, 14, "pb_fill"),
      MakePicture(IDR_PB_LEFT, 5, 14, "pb_left"),
      MakePicture(IDR_PB_RIGHT, 5, 14, "pb_right"),
      MakePicture(IDR_BACKGROUND, 553, 371, "background"),
  };
  return art;
}

namespace {

// Every control with a font has the skin's 9 points of Tahoma.
constexpr float kFontSize = 9;

Control Timer(ControlId id, int interval) {
  return {.id = id, .kind = ControlKind::Timer, .Enabled = false, .Interval = interval};
}

// The option lists and their buttons sit in a row below the visible area.
Control OptionButton(ControlId id, float left, const char* tip, int tab) {
  return {.id = id,
          .kind = ControlKind::PictureBox,
          .Left = left,
          .Top = 9915,
          .Width = 285,
          .Height = 285,
          .Visible = false,
          .ToolTipText = tip,
          .hasFont = true,
          .FontSize = kFontSize,
          .Picture = SkinArt().button,
          .TabIndex = tab};
}

Control Combo(ControlId id, float left, float width, std::vector<std::string> items,
              const char* tip, int tab) {
  return {.id = id,
          .kind = ControlKind::ComboBox,
          .Left = left,
          .Top = 9915,
          .Width = width,
          .Height = 330,
          .Visible = false,
          .ToolTipText = tip,
          .hasFont = true,
          .FontSize = kFontSize,
          .List = std::move(items),
          .TabIndex = tab};
}

// A hidden image that only holds a picture for others to show.
Control Holder(ControlId id, float l, float t, float w, float h, PicturePtr pic) {
  return {.id = id,
          .Left = l,
          .Top = t,
          .Width = w,
          .Height = h,
          .Visible = false,
          .Picture = std::move(pic)};
}

Control Hotspot(ControlId id, float l, float t, float w, float h, const char* tip) {
  return {.id = id,
          .Left = l,
          .Top = t,
          .Width = w,
          .Height = h,
          .ToolTipText = tip,
          .handPointer = true};
}

}  // namespace

// One line of values a control, in creation order; kept as laid out by hand.
// clang-format off
Form MakeMainForm() {
  const Art& art = SkinArt();
  Form f{.Caption = "Pagerift", .Width = 8220, .Height = 5490};
  auto& cs = f.controls;
  cs.push_back(Timer(Timer3, 50));
  cs.push_back(Timer(Timer1, 100));
  cs.push_back({.id = picDrag, .kind = ControlKind::PictureBox, .Left = 10, .Top = 400,
                .Width = 8175, .Height = 4530, .ToolTipText = "Drag PDF files onto this DropZone",
                .hasFont = true, .FontSize = kFontSize, .Picture = art.dropZone, .TabIndex = 7});
  cs.push_back({.id = lstFile, .kind = ControlKind::ListBox, .container = picDrag, .Left = 6150,
                .Top = 360, .Width = 1695, .Height = 1320, .Visible = false, .hasFont = true,
                .FontSize = kFontSize, .TabIndex = 8});
  cs.push_back(OptionButton(picButtonChannel, 3000, "MP3 Audio Channel(Stereo or Mono)", 6));
  cs.push_back(OptionButton(picButtonR, 3000, "MP3 Audio Rate", 5));
  cs.push_back(OptionButton(picButtonBR, 1230, "MP3 Audio Bitrate", 4));
  cs.push_back(Timer(Timer2, 1000));
  cs.push_back({.id = txtPath, .kind = ControlKind::TextBox, .Left = 4620, .Top = 6090,
                .Width = 2415, .Height = 345, .ToolTipText = "Select a Folder to Output",
                .hasFont = true, .FontSize = kFontSize, .TabIndex = 3});
  cs.push_back(Combo(cmbChannel, 180, 3105, {"Mono", "Stereo"},
                     "MP3 Audio Channel(Stereo or Mono)", 2));
  cs.push_back(Combo(cmbR, 1770, 1515,
                     {"48000", "44100", "32000", "24000", "22050", "16000", "12050", "8000"},
                     "MP3 Audio Rate", 1));
  cs.push_back(Combo(cmbBR, 180, 1335,
                     {"32", "48", "56", "64", "80", "96", "112", "128", "192", "224", "256", "320"},
                     "MP3 Audio Bitrate", 0));
  cs.push_back({.id = lblPb, .kind = ControlKind::Label, .Left = 7560, .Top = 90, .Width = 60,
                .Height = 210, .hasFont = true, .FontSize = kFontSize, .ForeColor = 0x00000000,
                .backTransparent = true, .alignRight = true, .autoSize = true});
  cs.push_back({.id = lblPath, .kind = ControlKind::Label, .Left = 1320, .Top = 5070,
                .Width = 2865, .Height = 225, .Visible = false, .hasFont = true,
                .FontSize = kFontSize, .fontUnderline = true, .ForeColor = 0x00800000,  // navy
                .backTransparent = true, .handPointer = true, .Caption = "Current Folder"});
  cs.push_back(Hotspot(imgMin, 7680, 90, 210, 210, "Minimize Window"));
  cs.push_back(Holder(imgDragLight, 5160, 6870, 8175, 4530, art.dropZoneLight));
  cs.push_back(Holder(imgDrag, 4620, 7470, 8175, 4530, art.dropZone));
  cs.push_back(Holder(imgBrowseDark, 9180, 6030, 630, 330, art.browseDark));
  cs.push_back(Holder(imgBrowseLight, 8850, 5340, 630, 330, art.browseLight));
  cs.push_back({.id = imgBrowse, .Left = 7320, .Top = 6150, .Width = 630, .Height = 330,
                .ToolTipText = "Select an Output Folder"});
  cs.push_back(Holder(imgButtonLight, 8100, 6870, 270, 270, art.buttonLight));
  cs.push_back(Holder(imgButton, 6780, 6900, 270, 270, art.button));
  Control fill = Holder(imgPB, 645, 6855, 15, 210, art.pbFill);
  fill.Stretch = true;
  cs.push_back(fill);
  cs.push_back(Holder(imgPBRight, 3630, 6855, 75, 210, art.pbRight));
  cs.push_back(Holder(imgPBLeft, 585, 6855, 75, 210, art.pbLeft));
  cs.push_back(Hotspot(imgHelp, 5790, 5070, 2295, 255, "Website"));
  cs.push_back(Hotspot(imgExit, 7950, 90, 225, 225, "Exit"));
  return f;
}
// clang-format on

const char* ControlName(ControlId id) {
#define PAGERIFT_CONTROL_NAME(name) #name,
  static constexpr const char* kNames[] = {PAGERIFT_CONTROLS(PAGERIFT_CONTROL_NAME)};
#undef PAGERIFT_CONTROL_NAME
  return id < kControlCount ? kNames[id] : "?";
}

std::string ShortenCaption(const std::string& caption) {
  if (Utf8Length(caption) <= 10) return caption;
  return caption.substr(0, Utf8Offset(caption, 23)) + "..";
}

}  // namespace pagerift
