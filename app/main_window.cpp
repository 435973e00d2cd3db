#include "app/main_window.h"

#include "app/startup.h"
#include "app/window_behaviour.h"
#include "intake/folder_choice.h"
#include "intake/intake.h"
#include "skin/combos.h"
#include "skin/hover.h"

namespace pagerift {

void MainWindow::Load() { RunStartup(form_, ports_); }

void MainWindow::TimerTick(ControlId timer) {
  if (timer == Timer1) {
    job_.Timer1Tick();
  } else if (timer == Timer3) {
    ShapeTick(form_, ports_);
  }
  // Timer2 has nothing to do.
}

void MainWindow::MouseMove(std::optional<ControlId> control, int buttons, float x, float y) {
  if (!control) {
    BackgroundMouseMove(form_, ports_, buttons);
  } else if (*control == picDrag) {
    DropZoneMouseMove(form_, ports_, x, y);
  } else if (*control == imgBrowse) {
    BrowseMouseMove(form_);
  } else if (PairedCombo(*control)) {
    OptionButtonMouseMove(form_, *control);
  }
}

void MainWindow::MouseDown(ControlId control, int /*buttons*/) {
  if (control == picDrag) {
    DropZoneMouseDown(form_, ports_);
  } else if (control == imgBrowse) {
    BrowseMouseDown(form_);
  }
}

void MainWindow::Click(ControlId control) {
  switch (control) {
    case picDrag: return DropZoneClick(form_, ports_);
    case imgBrowse: return BrowseClick(form_, ports_);
    case imgMin: return MinimizeClick(form_, ports_);
    case imgExit: return Unload();
    case imgHelp: return HelpClick(ports_);
    default: return OptionButtonClick(ports_, control);  // the option buttons; nothing for the rest
  }
}

void MainWindow::KeyDown(std::optional<ControlId> focus, Key key) {
  if (key == Key::Help) return HelpClick(ports_);
  // Return and Space press the drop zone as they would a button.
  if (focus == picDrag) Activate(picDrag);
}

void MainWindow::Activate(ControlId control) {
  // A mouse cannot reach a hidden or disabled control; neither may anything
  // else. The drop zone is both from a drop until its job is over.
  const Control& c = form_[control];
  if (c.Visible && c.Enabled) Click(control);
}

void MainWindow::DragOver(ControlId control, DragState state) {
  if (control == picDrag) DropZoneDragOver(form_, state);
}

unsigned MainWindow::Drop(ControlId control, const std::optional<std::vector<std::string>>& files) {
  if (control != picDrag) return kDropEffectNone;
  return DropZoneDrop(form_, ports_, files);
}

void MainWindow::Unload() { pagerift::Unload(ports_); }

void MainWindow::TextChanged(ControlId control, const std::string& text) {
  form_[control].Text = text;
}

void MainWindow::SelectionChanged(ControlId control, int index) {
  form_[control].SetListIndex(index);
}

}  // namespace pagerift
