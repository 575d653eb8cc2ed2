#include "window/win32/win32_desktop.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <vector>

#include "window/win32/resources.h"

namespace snipforge {
namespace {

// Room for any path, the long form included.
constexpr DWORD kPathRoom = 32768;

// The filter list of a common dialog: each entry's name and patterns, NUL after each, and a
// second NUL at the end. "*" lists every file, also names without a point.
std::wstring FilterList(const std::vector<FileFilter>& filters) {
  std::wstring list;
  for (const FileFilter& filter : filters) {
    list += Wide(filter.name);
    list += L'\0';
    std::wstring patterns = Wide(filter.patterns);
    for (wchar_t& c : patterns) {
      if (c == L' ') c = L';';
    }
    list += patterns;
    list += L'\0';
  }
  list += L'\0';
  return list;
}

}  // namespace

std::optional<std::string> Win32Desktop::ChooseFileToOpen(const FileDialog& dialog) {
  // Only an existing file, long names.
  return ChooseFile(dialog, false, OFN_FILEMUSTEXIST | OFN_LONGNAMES);
}

std::optional<std::string> Win32Desktop::ChooseFileToSave(const FileDialog& dialog) {
  // Refuses a read-only file or a write-protected folder; the window asks before an existing
  // file is replaced.
  return ChooseFile(dialog, true, OFN_NOREADONLYRETURN | OFN_LONGNAMES | OFN_PATHMUSTEXIST);
}

std::optional<std::string> Win32Desktop::ChooseFile(const FileDialog& dialog, bool save,
                                                    DWORD flags) {
  const std::wstring filters = FilterList(dialog.filters);
  const std::wstring folder = Wide(dialog.folder);
  std::vector<wchar_t> file(kPathRoom, L'\0');
  const std::wstring name = Wide(dialog.name).substr(0, kPathRoom - 1);
  std::copy(name.begin(), name.end(), file.begin());
  OPENFILENAMEW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner_;
  request.lpstrFilter = filters.c_str();
  request.nFilterIndex = 1;
  request.lpstrFile = file.data();
  request.nMaxFile = kPathRoom;
  request.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  // The dialog leaves the working folder as it was.
  request.Flags = flags | OFN_EXPLORER | OFN_NOCHANGEDIR;
  const bool chosen = save ? GetSaveFileNameW(&request) : GetOpenFileNameW(&request);
  if (!chosen) return std::nullopt;
  return Utf8(file.data());
}

void Win32Desktop::ShowMessage(const std::string& text) {
  MessageBoxW(owner_, Wide(text).c_str(), L"Snipforge", MB_OK);
}

namespace {

// The question open on this thread, whose Escape is No.
thread_local HWND openQuestion = nullptr;

// Escape in the question clicks No. A task dialog that allows cancelling takes Escape as
// Cancel on Windows, which the question reads as No, but wine's ignores it.
LRESULT CALLBACK EscapeIsNo(int code, WPARAM w, LPARAM l) {
  auto* message = reinterpret_cast<MSG*>(l);
  if (code == HC_ACTION && w == PM_REMOVE && openQuestion != nullptr &&
      message->message == WM_KEYDOWN && message->wParam == VK_ESCAPE &&
      (message->hwnd == openQuestion || IsChild(openQuestion, message->hwnd))) {
    message->message = WM_NULL;
    PostMessageW(openQuestion, TDM_CLICK_BUTTON, IDNO, 0);
  }
  return CallNextHookEx(nullptr, code, w, l);
}

HRESULT CALLBACK QuestionEvent(HWND box, UINT event, WPARAM, LPARAM, LONG_PTR owner) {
  if (event == TDN_CREATED) {
    openQuestion = box;
    // Over the middle of the window that asks.
    RECT over{};
    RECT size{};
    if (owner != 0 && GetWindowRect(reinterpret_cast<HWND>(owner), &over) &&
        GetWindowRect(box, &size)) {
      SetWindowPos(box, nullptr, (over.left + over.right - (size.right - size.left)) / 2,
                   (over.top + over.bottom - (size.bottom - size.top)) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  } else if (event == TDN_DESTROYED) {
    openQuestion = nullptr;
  }
  return S_OK;
}

}  // namespace

bool Win32Desktop::Ask(const std::string& question) {
  const std::wstring text = Wide(question);
  // A task dialog lets Escape mean No; a message box with Yes and No has no way to cancel.
  using TaskDialogFunction = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
  if (const HMODULE controls = GetModuleHandleW(L"comctl32.dll")) {
    if (const auto taskDialog = reinterpret_cast<TaskDialogFunction>(
            reinterpret_cast<void*>(GetProcAddress(controls, "TaskDialogIndirect")))) {
      TASKDIALOGCONFIG config{};
      config.cbSize = sizeof config;
      config.hwndParent = owner_;
      config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
      config.dwCommonButtons = TDCBF_YES_BUTTON | TDCBF_NO_BUTTON;
      config.pszWindowTitle = L"Snipforge";
      config.pszMainIcon = TD_WARNING_ICON;
      config.pszContent = text.c_str();
      config.nDefaultButton = IDNO;
      config.pfCallback = QuestionEvent;
      config.lpCallbackData = reinterpret_cast<LONG_PTR>(owner_);
      const HHOOK hook =
          SetWindowsHookExW(WH_GETMESSAGE, EscapeIsNo, nullptr, GetCurrentThreadId());
      int button = IDNO;
      const HRESULT shown = taskDialog(&config, &button, nullptr, nullptr);
      if (hook != nullptr) UnhookWindowsHookEx(hook);
      if (SUCCEEDED(shown)) return button == IDYES;
    }
  }
  return MessageBoxW(owner_, text.c_str(), L"Snipforge",
                     MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING) == IDYES;
}

void Win32Desktop::ShowAbout(const std::string& text) {
  const std::wstring wide = Wide(text);
  MSGBOXPARAMSW box{};
  box.cbSize = sizeof box;
  box.hwndOwner = owner_;
  box.hInstance = GetModuleHandleW(nullptr);
  box.lpszText = wide.c_str();
  box.lpszCaption = L"About Snipforge";
  box.dwStyle = MB_OK | MB_USERICON;
  box.lpszIcon = MAKEINTRESOURCEW(kProgramIcon);
  MessageBoxIndirectW(&box);
}

bool Win32Desktop::OpenFolder(const std::string& path) {
  // A value above 32 says Explorer took it.
  return reinterpret_cast<INT_PTR>(ShellExecuteW(owner_, L"open", Wide(path).c_str(), nullptr,
                                                 nullptr, SW_SHOWNORMAL)) > 32;
}

}  // namespace snipforge
