#include "app/main_window.h"

#include "app/startup.h"
#include "app/window_behaviour.h"
#include "intake/folder_choice.h"
#include "intake/intake.h"
#include "skin/combos.h"
#include "skin/hover.h"

namespace pagerift {

void MainWindow::Load() { RunStartup(form_, ports_); }

void MainWindow::TimerTick(const std::string& timer) {
  if (timer == "Timer1") {
    job_.Timer1Tick();
  } else if (timer == "Timer3") {
    ShapeTick(form_, ports_);
  }
  // Timer2 has nothing to do.
}

void MainWindow::MouseMove(const std::string& control, int buttons, float x, float y) {
  if (control.empty()) {
    BackgroundMouseMove(form_, ports_, buttons);
  } else if (control == "picDrag") {
    DropZoneMouseMove(form_, ports_, x, y);
  } else if (control == "imgBrowse") {
    BrowseMouseMove(form_);
  } else if (!PairedCombo(control).empty()) {
    OptionButtonMouseMove(form_, control);
  }
}

void MainWindow::MouseDown(const std::string& control, int /*buttons*/) {
  if (control == "picDrag") {
    DropZoneMouseDown(form_, ports_);
  } else if (control == "imgBrowse") {
    BrowseMouseDown(form_);
  }
}

void MainWindow::Click(const std::string& control) {
  if (control == "picDrag") {
    DropZoneClick(form_, ports_);
  } else if (control == "imgBrowse") {
    BrowseClick(form_, ports_);
  } else if (control == "imgMin") {
    MinimizeClick(form_, ports_);
  } else if (control == "imgExit") {
    Unload();
  } else if (control == "imgHelp") {
    HelpClick(ports_);
  } else if (!PairedCombo(control).empty()) {
    OptionButtonClick(ports_, control);
  }
}

void MainWindow::DragOver(const std::string& control, DragState state) {
  if (control == "picDrag") DropZoneDragOver(form_, state);
}

unsigned MainWindow::Drop(const std::string& control,
                          const std::optional<std::vector<std::string>>& files) {
  if (control != "picDrag") return kDropEffectNone;
  return DropZoneDrop(form_, ports_, files);
}

void MainWindow::Unload() { pagerift::Unload(ports_); }

void MainWindow::TextChanged(const std::string& control, const std::string& text) {
  if (auto* c = form_.Find(control)) c->Text = text;
}

void MainWindow::SelectionChanged(const std::string& control, int index) {
  if (auto* c = form_.Find(control)) c->SetListIndex(index);
}

}  // namespace pagerift
