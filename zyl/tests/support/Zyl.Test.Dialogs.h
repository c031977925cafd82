// Real modal dialogs closed as a user would: a helper thread waits for the
// first visible dialog box of the thread that made the closer and acts on
// it while that thread sits in the box's modal loop. Windows only.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <thread>

namespace Zyl::Testing {

class TDialogCloser {
public:
    explicit TDialogCloser(std::function<void(HWND)> action)
        : Thread([owner = GetCurrentThreadId(), action = std::move(action)] {
              const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
              while (std::chrono::steady_clock::now() < deadline) {
                  HWND box = nullptr;
                  EnumThreadWindows(
                      owner,
                      [](HWND window, LPARAM found) -> BOOL {
                          wchar_t name[16] = {};
                          GetClassNameW(window, name, 16);
                          if (wcscmp(name, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
                          *reinterpret_cast<HWND*>(found) = window;
                          return FALSE;
                      },
                      LPARAM(&box));
                  if (box) {
                      action(box);
                      return;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          }) {}
    ~TDialogCloser() { Thread.join(); }
    TDialogCloser(const TDialogCloser&) = delete;
    TDialogCloser& operator=(const TDialogCloser&) = delete;

private:
    std::thread Thread;
};

// A click on the box's button of that id, as its notification reaches the box.
inline void ClickButton(HWND box, int id) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(box, id)));
}

} // namespace Zyl::Testing
