// The desktop's own dialogs for the Win32 window: the common file dialogs, message boxes, the
// questions, the About box and Explorer. Texts are UTF-8 inside and
// UTF-16 at every call, and always plain text.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "engine/wide_text.h"
#include "window/logic/desktop.h"

namespace snipforge {

class Win32Desktop final : public DesktopDialogs {
 public:
  // The window the dialogs belong to.
  void SetOwner(HWND owner) { owner_ = owner; }

  std::optional<std::string> ChooseFileToOpen(const FileDialog& dialog) override;
  std::optional<std::string> ChooseFileToSave(const FileDialog& dialog) override;
  void ShowMessage(const std::string& text) override;
  bool Ask(const std::string& question) override;
  void ShowAbout(const std::string& text) override;
  bool OpenFolder(const std::string& path) override;

 private:
  std::optional<std::string> ChooseFile(const FileDialog& dialog, bool save, DWORD flags);

  HWND owner_ = nullptr;
};

}  // namespace snipforge
