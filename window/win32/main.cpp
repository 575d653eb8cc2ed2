// Starts Snipforge on Windows: the one window, with the values kept from the last time it was
// closed. `snipforge.exe FILE` opens it with FILE in Input, as "Open with" in Explorer does.
#include <windows.h>

#include <shellapi.h>

#include <optional>
#include <string>

#include "engine/file_system.h"
#include "settings/settings_store.h"
#include "window/win32/form1.h"
#include "window/win32/win32_desktop.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  std::optional<std::string> input;
  int count = 0;
  if (wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
    if (count > 1) {
      std::wstring full(32768, L'\0');
      const DWORD length = GetFullPathNameW(arguments[1], static_cast<DWORD>(full.size()),
                                            full.data(), nullptr);
      full.resize(length > 0 && length < full.size() ? length : 0);
      // A batch file's %~s1 gives the short name (MYLIST~1.TXT): the long one is shown.
      input = snipforge::LongPathName(
          snipforge::Utf8(full.empty() ? std::wstring(arguments[1]) : full));
    }
    LocalFree(arguments);
  }
  snipforge::Win32Desktop desktop;
  snipforge::Form1 form(desktop, snipforge::InstalledStoreLocations(), input, true);
  desktop.SetOwner(form.window());
  ShowWindow(form.window(), show);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab, Shift+Tab, Enter and Escape move between the controls as in a dialog.
    if (form.PreTranslateMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
