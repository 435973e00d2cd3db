// frmMain's handlers: the one place where window events meet the subsystems.
// The shell decodes messages into these calls and keeps the real windows in
// line with `form` afterwards.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/events.h"
#include "core/ports.h"
#include "job/runner.h"
#include "skin/controls.h"

namespace pagerift {

class MainWindow {
 public:
  explicit MainWindow(Ports& ports) : ports_(ports), form_(MakeMainForm()), job_(form_, ports_) {}

  Form& form() { return form_; }

  void Load();
  void TimerTick(ControlId timer);
  // No control means the bare window surface; x and y are twips in the
  // control's own client coordinates.
  void MouseMove(std::optional<ControlId> control, int buttons, float x, float y);
  void MouseDown(ControlId control, int buttons);
  void Click(ControlId control);
  // A key pressed while `focus` holds the keyboard focus (none: the window
  // itself or nothing of it).
  void KeyDown(std::optional<ControlId> focus, Key key);
  // A click's work for a user without a mouse (the keyboard, a screen
  // reader); nothing while the control is hidden or disabled.
  void Activate(ControlId control);
  void DragOver(ControlId control, DragState state);
  unsigned Drop(ControlId control, const std::optional<std::vector<std::string>>& files);
  [[noreturn]] void Unload();

  // What the user did in a real control, written back into the model.
  void TextChanged(ControlId control, const std::string& text);
  void SelectionChanged(ControlId control, int index);

 private:
  Ports& ports_;
  Form form_;
  SplitJob job_;
};

}  // namespace pagerift
