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

Control Placed(ControlId id, ControlKind kind, float l, float t, float w, float h,
               bool visible) {
  Control c;
  c.id = id;
  c.kind = kind;
  c.Left = l;
  c.Top = t;
  c.Width = w;
  c.Height = h;
  c.Visible = visible;
  return c;
}

Control Timer(ControlId id, int interval) {
  Control c;
  c.id = id;
  c.kind = ControlKind::Timer;
  c.Interval = interval;
  c.Enabled = false;
  return c;
}

Control OptionButton(ControlId id, float left, const char* tip, int tab) {
  Control c = Placed(id, ControlKind::PictureBox, left, 9915, 285, 285, false);
  c.Picture = SkinArt().button;
  c.ToolTipText = tip;
  c.TabIndex = tab;
  c.hasFont = true;
  c.FontSize = 9;
  return c;
}

Control Combo(ControlId id, float left, float width, std::vector<std::string> items,
              const char* tip, int tab) {
  Control c = Placed(id, ControlKind::ComboBox, left, 9915, width, 330, false);
  c.List = std::move(items);
  c.ToolTipText = tip;
  c.TabIndex = tab;
  c.hasFont = true;
  c.FontSize = 9;
  return c;
}

Control Holder(ControlId id, float l, float t, float w, float h, PicturePtr pic) {
  Control c = Placed(id, ControlKind::Image, l, t, w, h, false);
  c.Picture = std::move(pic);
  return c;
}

Control Hotspot(ControlId id, float l, float t, float w, float h, const char* tip) {
  Control c = Placed(id, ControlKind::Image, l, t, w, h, true);
  c.ToolTipText = tip;
  c.handPointer = true;
  return c;
}

}  // namespace

Form MakeMainForm() {
  const Art& art = SkinArt();
  Form f;
  f.Caption = "Pagerift";
  f.Width = 8220;
  f.Height = 5490;

  auto& cs = f.controls;
  cs.push_back(Timer(Timer3, 50));
  cs.push_back(Timer(Timer1, 100));

  Control drag = Placed(picDrag, ControlKind::PictureBox, 10, 400, 8175, 4530, true);
  drag.Picture = art.dropZone;
  drag.ToolTipText = "Drag PDF files onto this DropZone";
  drag.TabIndex = 7;
  drag.hasFont = true;
  drag.FontSize = 9;
  cs.push_back(drag);

  Control queue = Placed(lstFile, ControlKind::ListBox, 6150, 360, 1695, 1320, false);
  queue.container = picDrag;
  queue.TabIndex = 8;
  queue.hasFont = true;
  queue.FontSize = 9;
  cs.push_back(queue);

  cs.push_back(OptionButton(picButtonChannel, 3000, "MP3 Audio Channel(Stereo or Mono)", 6));
  cs.push_back(OptionButton(picButtonR, 3000, "MP3 Audio Rate", 5));
  cs.push_back(OptionButton(picButtonBR, 1230, "MP3 Audio Bitrate", 4));
  cs.push_back(Timer(Timer2, 1000));

  Control path = Placed(txtPath, ControlKind::TextBox, 4620, 6090, 2415, 345, true);
  path.ToolTipText = "Select a Folder to Output";
  path.TabIndex = 3;
  path.hasFont = true;
  path.FontSize = 9;
  cs.push_back(path);

  cs.push_back(Combo(cmbChannel, 180, 3105, {"Mono", "Stereo"},
                     "MP3 Audio Channel(Stereo or Mono)", 2));
  cs.push_back(Combo(cmbR, 1770, 1515,
                     {"48000", "44100", "32000", "24000", "22050", "16000", "12050", "8000"},
                     "MP3 Audio Rate", 1));
  cs.push_back(Combo(cmbBR, 180, 1335,
                     {"32", "48", "56", "64", "80", "96", "112", "128", "192", "224", "256", "320"},
                     "MP3 Audio Bitrate", 0));

  Control status = Placed(lblPb, ControlKind::Label, 7560, 90, 60, 210, true);
  status.ForeColor = 0x00000000;
  status.backTransparent = true;
  status.alignRight = true;
  status.autoSize = true;
  status.hasFont = true;
  status.FontSize = 9;
  cs.push_back(status);

  Control folder = Placed(lblPath, ControlKind::Label, 1320, 5070, 2865, 225, false);
  folder.Caption = "Current Folder";
  folder.ForeColor = 0x00800000;  // navy
  folder.backTransparent = true;
  folder.hasFont = true;
  folder.FontSize = 9;
  folder.fontUnderline = true;
  folder.handPointer = true;
  cs.push_back(folder);

  cs.push_back(Hotspot(imgMin, 7680, 90, 210, 210, "Minimize Window"));
  cs.push_back(Holder(imgDragLight, 5160, 6870, 8175, 4530, art.dropZoneLight));
  cs.push_back(Holder(imgDrag, 4620, 7470, 8175, 4530, art.dropZone));
  cs.push_back(Holder(imgBrowseDark, 9180, 6030, 630, 330, art.browseDark));
  cs.push_back(Holder(imgBrowseLight, 8850, 5340, 630, 330, art.browseLight));

  Control browse = Placed(imgBrowse, ControlKind::Image, 7320, 6150, 630, 330, true);
  browse.ToolTipText = "Select an Output Folder";
  cs.push_back(browse);

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
