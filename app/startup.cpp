#include "app/startup.h"

#include <cmath>

#include "app/settings.h"
#include "core/text.h"
#include "skin/controls.h"

namespace pagerift {

namespace {

bool IsUsableFactor(float twipsPerPixel) {
  return std::isfinite(twipsPerPixel) && twipsPerPixel > 0;
}

}  // namespace

void ScaleToScreen(Form& form, float twipsX, float twipsY) {
  // A screen that reports nonsense keeps the design layout rather than
  // collapsing the window.
  if (!IsUsableFactor(twipsX) || !IsUsableFactor(twipsY)) return;
  const auto sx = [&](float v) { return v * twipsX / kDesignTwipsPerPixel; };
  const auto sy = [&](float v) { return v * twipsY / kDesignTwipsPerPixel; };

  // Sizes scale along with positions: scaling positions alone would grow the
  // drop zone past the window at any resolution other than 96 DPI.
  form.Width = sx(form.Width);
  form.Height = sy(form.Height);
  for (Control& c : form.controls) {
    if (c.IsTimer()) continue;
    c.Left = sx(c.Left);
    c.Top = sy(c.Top);
    c.SetWidth(sx(c.Width));
    c.SetHeight(sy(c.Height));
    // Fonts follow the horizontal resolution, as the toolkit's do.
    if (c.hasFont) c.FontSize = sx(c.FontSize);
  }
}

void RunStartup(Form& form, Ports& ports) {
  if (ports.shell.AnotherInstanceRunning()) ports.shell.EndProgram();

  ports.window.SetTopmost();
  ports.window.Show();
  ports.pump.DoEvents();
  form.lngStep = 0;

  Control& path = form[txtPath];
  path.Text = kDefaultOutputFolder;
  ApplySettings(form, ports.fs.ReadOrdinaryFile(InFolder(ports.shell.ProgramFolder(), "setup.ini")),
                ports.shell);
  if (path.Text.empty()) path.Text = kDefaultOutputFolder;

  Control& label = form[lblPath];
  label.Caption = ShortenCaption(label.Caption);

  ScaleToScreen(form, ports.screen.TwipsPerPixelX(), ports.screen.TwipsPerPixelY());
  ports.window.Repaint();
  // Last, so the shaping tick cannot come before the window is complete.
  form[Timer3].Enabled = true;
}

}  // namespace pagerift
