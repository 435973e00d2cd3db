// What the shell tests share: the program's window, made and started in this
// process, and a hand that presses a button in a dialog once it shows.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <thread>

#include "win32/app.h"

// The window as the program starts it: created, then loaded.
struct StartedApp : ::testing::Test {
  void SetUp() override {
    OleInitialize(nullptr);
    ASSERT_TRUE(app.Create(GetModuleHandleW(nullptr)));
    app.main().Load();
  }
  void TearDown() override { app.frame().Revoke(); }
  pagerift::Form& form() { return app.main().form(); }

  pagerift::win::App app;
};

// On a thread of its own: waits up to 20 s for a visible top-level window
// titled `title`, lets it settle, hands it to `check`, then presses `button`.
inline std::thread PressWhenShown(const wchar_t* title, int button,
                                  std::function<void(HWND)> check) {
  return std::thread([=] {
    for (int i = 0; i < 400; ++i, Sleep(50)) {
      HWND w = FindWindowW(nullptr, title);
      if (!w || !IsWindowVisible(w)) continue;
      Sleep(300);  // a folder tree settles on its first selection
      check(w);
      PostMessageW(w, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(w, button)));
      return;
    }
  });
}
