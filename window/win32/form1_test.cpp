#include "window/win32/form1.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/test_support.h"
#include "window/testing/fake_desktop.h"
#include "window/testing/form_access.h"
#include "window/win32/win32_desktop.h"

namespace snipforge {
namespace {

using testing::FakeDesktop;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class Win32Form1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<Form1>(desktop_, std::nullopt, std::nullopt, false);
    ShowWindow(form_->window(), SW_SHOW);
    SetForegroundWindow(form_->window());
    // The window is active once the window system has said so.
    PumpUntil([this] { return GetActiveWindow() == form_->window(); }, 400);
  }

  // Handles the messages waiting, as the program's message loop does.
  void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (form_->PreTranslateMessage(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  // A key pressed on the control that has the focus, as the keyboard sends it.
  void Press(UINT message, WPARAM key) {
    PostMessageW(GetFocus(), message, key, message == WM_SYSCHAR ? 1 << 29 : 0);
    PumpUntil([] { return false; }, 4);
  }
  // Pumps until `done`, or for about `tries` times 5 ms.
  void PumpUntil(const std::function<bool()>& done, int tries) {
    for (int i = 0; i < tries && !done(); ++i) {
      Pump();
      Sleep(5);
    }
    Pump();
  }
  HWND Control(const char* name) const { return form_->Control(name); }
  std::string Text(const char* name) const {
    wchar_t text[1024] = {};
    GetWindowTextW(Control(name), text, 1024);
    return Utf8(text);
  }
  void Type(const char* name, const std::string& text) {
    SetWindowTextW(Control(name), Wide(text).c_str());
    Pump();
  }
  std::string Focused() const {
    const HWND focus = GetFocus();
    for (const ControlRow& row : kControls) {
      if (form_->Control(NameOf(row)) == focus) return std::string(NameOf(row));
    }
    return "(none)";
  }

  FakeDesktop desktop_;
  std::unique_ptr<Form1> form_;
};

TEST_F(Win32Form1Test, StartsWithTheStartValuesCaptionsAndTheFocusOrder) {
  wchar_t title[64] = {};
  GetWindowTextW(form_->window(), title, 64);
  EXPECT_EQ(Utf8(title), "Snipforge ver 0.06");
  EXPECT_EQ(testing::FormAccess::Values(*form_), ControlValues{});
  EXPECT_EQ(Text("tNumberofGood"), "3");
  EXPECT_EQ(Text("chOutputGoodFrames"), "Output &Goodframes");
  EXPECT_EQ(SendMessageW(Control("chOutputGoodFrames"), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(GetWindowLongW(Control("chIncText"), GWL_STYLE) & BS_TYPEMASK, BS_3STATE);
  EXPECT_EQ(Focused(), "tInput");
  // Tab visits the controls in the focus order; Open folder waits for a script.
  std::vector<std::string> visited;
  HWND at = Control("tInput");
  for (std::size_t i = 0; i + 1 < kFocusOrder.size(); ++i) {
    const HWND next = GetNextDlgTabItem(form_->window(), at, FALSE);
    if (next == at) break;
    at = next;
    for (const ControlRow& row : kControls) {
      if (form_->Control(NameOf(row)) == at) visited.emplace_back(NameOf(row));
    }
  }
  std::vector<std::string> expected;
  for (std::size_t i = 1; i + 1 < kFocusOrder.size(); ++i) {
    expected.emplace_back(NameOf(kControls[kFocusOrder[i]]));
  }
  expected.emplace_back("tInput");  // round again, past the disabled Open folder
  EXPECT_EQ(visited, expected);
}

TEST_F(Win32Form1Test, TheControlsStandWhereTheLayoutPutsThem) {
  const FormLayout& layout = testing::FormAccess::Layout(*form_);
  EXPECT_GE(layout.scale, 1.0);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (kControls[i].inStatusBar) continue;
    RECT rect{};
    GetWindowRect(form_->Control(NameOf(kControls[i])), &rect);
    MapWindowPoints(nullptr, GetParent(form_->Control(NameOf(kControls[i]))),
                    reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.top, layout.rects[i].top) << NameOf(kControls[i]);
    EXPECT_EQ(rect.bottom - rect.top, layout.rects[i].height) << NameOf(kControls[i]);
  }
}

TEST_F(Win32Form1Test, InputBringsOutputAndTheCheckReturnsTheFocusWithTheTextSelected) {
  Type("tInput", "C:\\clips\\bad.txt");
  EXPECT_EQ(Text("tOutput"), "C:\\clips\\bad.avs");

  Type("tMinLength", "7a");
  SetFocus(Control("tMinLength"));
  SetFocus(Control("tOffsetBefore"));
  PumpUntil([this] { return !desktop_.messages.empty(); }, 100);
  EXPECT_EQ(desktop_.messages, std::vector<std::string>{"ENTER a valid number"});
  EXPECT_EQ(Focused(), "tMinLength");
  DWORD start = 1;
  DWORD end = 0;
  SendMessageW(Control("tMinLength"), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 2u);

  // A click on a check box goes through the logic: greyed becomes checked, checked unchecked;
  // one that leaves a bad number is cancelled.
  SendMessageW(Control("chIncText"), BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(desktop_.messages.size(), 2u);
  EXPECT_EQ(testing::FormAccess::Values(*form_).chIncText, 0);
  Type("tMinLength", "12");
  SendMessageW(Control("chIncText"), BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(testing::FormAccess::Values(*form_).chIncText, 1);
  EXPECT_EQ(SendMessageW(Control("chIncText"), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(Win32Form1Test, StartWritesTheScriptAndTheStatusLineSaysWhatItDid) {
  TempDir dir;
  WriteFile(dir.File("frames.txt"), "clip\n10\n11\n");
  Type("tInput", dir.File("frames.txt"));
  Type("tOffsetBefore", "2");
  SendMessageW(Control("cStartConv"), BM_CLICK, 0, 0);
  EXPECT_FALSE(IsWindowEnabled(GetParent(Control("tInput")))) << "no input while it runs";
  PumpUntil([this] { return !testing::FormAccess::Running(*form_); }, 2000);
  EXPECT_TRUE(IsWindowEnabled(GetParent(Control("tInput"))));
  EXPECT_EQ(ReadFile(dir.File("frames.avs")), "Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 12,0)\r\n");
  EXPECT_EQ(Text("lStatus"), "Wrote frames.avs: good part in 2 trims, 4 frames cut");
  EXPECT_TRUE(IsWindowEnabled(Control("cOpenFolder")));
  EXPECT_TRUE(desktop_.messages.empty());
}

TEST_F(Win32Form1Test, AltAndALetterGoesWhereTheTableSaysAndEnterPressesTheFocusedButton) {
  Type("tMinLength", "12");
  for (const auto& [letter, control] :
       {std::pair{'m', "tMinLength"}, std::pair{'r', "tOffsetAfter"}, std::pair{'C', "cboScriptFor"}}) {
    Press(WM_SYSCHAR, static_cast<WPARAM>(letter));
    EXPECT_EQ(Focused(), control) << letter;
  }
  Press(WM_SYSCHAR, 'm');
  DWORD start = 1;
  DWORD end = 0;
  SendMessageW(Control("tMinLength"), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(end - start, 2u) << "typing replaces the text";

  SetFocus(Control("cAbout"));
  Press(WM_KEYDOWN, VK_RETURN);
  EXPECT_EQ(desktop_.abouts.size(), 1u);
}

// The test display is a screen of 1024 x 768 pixels.
TEST_F(Win32Form1Test, TheStatusBarIsInSightAfterStartAndTheWindowWithinTheWorkArea) {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT window{};
  GetWindowRect(form_->window(), &window);
  EXPECT_TRUE(window.left >= work.left && window.top >= work.top && window.right <= work.right &&
              window.bottom <= work.bottom);
  TempDir dir;
  WriteFile(dir.File("frames.txt"), "10\n");
  Type("tInput", dir.File("frames.txt"));
  SendMessageW(Control("cStartConv"), BM_CLICK, 0, 0);
  PumpUntil([this] { return !testing::FormAccess::Running(*form_); }, 2000);
  EXPECT_EQ(Text("lStatus"), "Wrote frames.avs: good part in 2 trims, 1 frame cut");
  RECT client{};
  GetClientRect(form_->window(), &client);
  MapWindowPoints(form_->window(), nullptr, reinterpret_cast<POINT*>(&client), 2);
  for (const char* name : {"lStatus", "cOpenFolder"}) {
    RECT control{};
    GetWindowRect(Control(name), &control);
    EXPECT_TRUE(IsWindowVisible(Control(name)));
    EXPECT_TRUE(control.left >= client.left && control.top >= client.top &&
                control.right <= client.right && control.bottom <= client.bottom)
        << name;
  }
}

TEST_F(Win32Form1Test, EscapeInTheProgressBoxCancelsTheRun) {
  TempDir dir;
  std::string list;
  for (int frame = 0; frame < 2'000'000; frame += 2) list += std::to_string(frame) + '\n';
  WriteFile(dir.File("frames.txt"), list);
  Type("tInput", dir.File("frames.txt"));
  SendMessageW(Control("chOutputBadFrames"), BM_CLICK, 0, 0);
  SendMessageW(Control("chOutputGoodFrames"), BM_CLICK, 0, 0);
  testing::FormAccess::ShowProgressAtOnce(*form_);
  SendMessageW(Control("cStartConv"), BM_CLICK, 0, 0);
  PumpUntil([this] { return form_->progressBox() != nullptr; }, 2000);
  ASSERT_NE(form_->progressBox(), nullptr);
  // Over the middle of the window, with the focus in it.
  RECT box{};
  RECT window{};
  GetWindowRect(form_->progressBox(), &box);
  GetWindowRect(form_->window(), &window);
  EXPECT_LE(std::abs((box.left + box.right) - (window.left + window.right)), 2);
  EXPECT_LE(std::abs((box.top + box.bottom) - (window.top + window.bottom)), 2);
  EXPECT_TRUE(IsChild(form_->progressBox(), GetFocus()));
  Press(WM_KEYDOWN, VK_ESCAPE);
  PumpUntil([this] { return !testing::FormAccess::Running(*form_); }, 4000);
  EXPECT_EQ(Text("lStatus"), "cancelled; nothing was written");
  EXPECT_TRUE(ReadFile(dir.File("frames.avs")).empty()) << "nothing written";
}

// The window as the program opens it, with stores in the registry: a stored Output comes back
// as it was, not as Input would give it.
TEST(Win32Form1StoreTest, AStoredOutputComesBack) {
  const std::string key =
      "Software\\Snipforge-window-test-" + std::to_string(GetCurrentProcessId());
  const StoreLocations stores{{key + "\\Machine", StoreOwner::kMachine},
                              {key + "\\User", StoreOwner::kUser},
                              false};
  FakeDesktop desktop;
  auto form = std::make_unique<Form1>(desktop, stores, std::nullopt, false);
  SetWindowTextW(form->Control("tInput"), L"C:\\clips\\in.txt");
  SetWindowTextW(form->Control("tOutput"), L"C:\\elsewhere\\out.avs");
  const ControlValues set = testing::FormAccess::Values(*form);
  SendMessageW(form->window(), WM_CLOSE, 0, 0);
  form = std::make_unique<Form1>(desktop, stores, std::nullopt, false);
  EXPECT_EQ(testing::FormAccess::Values(*form), set);
  EXPECT_EQ(testing::FormAccess::Values(*form).tOutput, "C:\\elsewhere\\out.avs");
  form.reset();
  RegDeleteTreeW(HKEY_CURRENT_USER, Wide(key).c_str());
  EXPECT_TRUE(desktop.messages.empty());
}

}  // namespace
}  // namespace snipforge
