// The program put together: ports, handlers and the frame.
#pragma once

#include <windows.h>

#include "app/main_window.h"
#include "win32/frame.h"
#include "win32/win_ports.h"

namespace pagerift::win {

class App {
 public:
  App() { frame_.Attach(main_); }
  // Creates the window, hidden; false when it could not be made.
  bool Create(HINSTANCE instance) { return frame_.Create(instance); }
  // Runs start-up, then the message loop until the program ends.
  int Run();
  MainWindow& main() { return main_; }
  Frame& frame() { return frame_; }
  Ports& ports() { return ports_; }

 private:
  Frame frame_;
  WinPump pump_{frame_};
  WinProcessRunner process_{pump_};
  WinShell shell_{frame_};
  WinFileSystem fs_;
  WinDialogs dialogs_{frame_};
  WinScreen screen_;
  Ports ports_{pump_, process_, shell_, fs_, dialogs_, screen_, frame_};
  MainWindow main_{ports_};
};

}  // namespace pagerift::win
