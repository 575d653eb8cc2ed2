#include "window/win32/form1.h"

#include <commctrl.h>
#include <initguid.h>
#include <ole2.h>
#include <oleacc.h>
#include <shellapi.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "window/win32/resources.h"
#include "window/win32/win32_desktop.h"

namespace snipforge {
namespace {

constexpr wchar_t kWindowClass[] = L"SnipforgeForm1";
constexpr wchar_t kContentClass[] = L"SnipforgeContent";
constexpr wchar_t kProgressClass[] = L"SnipforgeProgress";
constexpr UINT kCheckMessage = WM_APP + 1;  // a numeric box was left: check it (wParam: row)
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMilliseconds = 50;
constexpr int kProgressBarId = 10;
constexpr int kProgressLabelId = 11;

int ToPixels(double value) { return static_cast<int>(value + 0.5); }

// The dialog font's metrics and widths, measured with the font the controls draw with.
class Win32TextMeasure final : public TextMeasure {
 public:
  Win32TextMeasure(HWND window, HFONT font, UINT dpi) : dc_(GetDC(window)), window_(window) {
    old_ = SelectObject(dc_, font);
    TEXTMETRICW text{};
    GetTextMetricsW(dc_, &text);
    em = text.tmHeight - text.tmInternalLeading;
    ascent = text.tmAscent;
    height = text.tmHeight;
    lineSpacing = text.tmHeight + text.tmExternalLeading;
    const double pixel = dpi / 96.0;
    checkIndicator = GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi) + 4 * pixel;
    buttonMargin = 16 * pixel;
    frameMargin = 6 * pixel;
    choiceArrow = GetSystemMetricsForDpi(SM_CXVSCROLL, dpi);
  }
  ~Win32TextMeasure() override {
    SelectObject(dc_, old_);
    ReleaseDC(window_, dc_);
  }
  Win32TextMeasure(const Win32TextMeasure&) = delete;
  Win32TextMeasure& operator=(const Win32TextMeasure&) = delete;

  double Width(ControlKind, std::string_view text) const override {
    const std::wstring wide = Wide(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
  }

 private:
  HDC dc_;
  HWND window_;
  HGDIOBJ old_;
};

void RegisterClasses(HINSTANCE instance, WNDPROC window, WNDPROC content, WNDPROC progress) {
  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = window;
  form.hInstance = instance;
  form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIcon));
  form.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kProgramIcon),
                                               IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  form.lpszClassName = kWindowClass;
  RegisterClassExW(&form);
  WNDCLASSEXW area = form;
  area.lpfnWndProc = content;
  area.hIcon = nullptr;
  area.hIconSm = nullptr;
  area.lpszClassName = kContentClass;
  RegisterClassExW(&area);
  WNDCLASSEXW box = area;
  box.lpfnWndProc = progress;
  box.lpszClassName = kProgressClass;
  RegisterClassExW(&box);
}

// Gives a control the name a screen reader says, where the control's own text is its value.
void SetAccessibleName(HWND control, const std::wstring& name) {
  IAccPropServices* services = nullptr;
  if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IAccPropServices, reinterpret_cast<void**>(&services)))) {
    return;
  }
  services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                           PROPID_ACC_NAME, name.c_str());
  services->Release();
}

template <class Object>
Object* ObjectOf(HWND window, UINT message, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* object = static_cast<Object*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    return object;
  }
  return reinterpret_cast<Object*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

Form1::Form1(Desktop& desktop, std::optional<StoreLocations> stores,
             const std::optional<std::string>& input, bool quitOnClose)
    : desktop_(desktop), logic_(desktop, std::move(stores)), quitOnClose_(quitOnClose) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  static const bool registered = [&] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                       ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterClasses(instance, WindowProc, ContentProc, ProgressProc);
    return true;
  }();
  static_cast<void>(registered);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  window_ = CreateWindowExW(WS_EX_ACCEPTFILES, kWindowClass, Wide(kWindowTitle).c_str(),
                            WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL, CW_USEDEFAULT,
                            CW_USEDEFAULT, 400, 700, nullptr, nullptr, instance, this);
  content_ = CreateWindowExW(WS_EX_CONTROLPARENT, kContentClass, L"",
                             WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 10, 10, window_,
                             nullptr, instance, this);
  dpi_ = GetDpiForWindow(window_);
  BuildControls();
  if (input) logic_.TakeInput(*input);
  ShowValues();
  MakeFont();
  LayOut();
  SetFocus(Control("tInput"));
}

Form1::~Form1() {
  if (window_ != nullptr) DestroyWindow(window_);
  if (font_ != nullptr) DeleteObject(font_);
  if (openIcon_ != nullptr) DestroyIcon(openIcon_);
  if (saveIcon_ != nullptr) DestroyIcon(saveIcon_);
}

HWND Form1::Control(std::string_view name) const { return controls_[FindControl(name)]; }

void Form1::BuildControls() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);
  SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const ControlRow& row = kControls[i];
    const std::wstring caption = Wide(CaptionOf(row));
    // Every control clips its siblings, so that a box laid over a sentence stays whole.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD extended = 0;
    const wchar_t* kind = L"STATIC";
    std::wstring text = caption;
    switch (row.kind) {
      case ControlKind::kGroupBox:
        kind = L"BUTTON";
        style |= BS_GROUPBOX;
        break;
      case ControlKind::kLabel:
      case ControlKind::kWrappedLabel:
      case ControlKind::kStatusLine:
        style |= SS_LEFT | SS_NOPREFIX;  // plain text: "&" is a character, not a mnemonic
        if (row.kind == ControlKind::kStatusLine) text.clear();
        break;
      case ControlKind::kGapLabel:
        // Drawn word by word where the layout places them; its text names the box for screen
        // readers, the blank run collapsed.
        style |= SS_OWNERDRAW | SS_NOPREFIX;
        text = Wide(AccessibleName(row));
        break;
      case ControlKind::kTextBox:
        kind = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        extended = WS_EX_CLIENTEDGE;
        text.clear();
        break;
      case ControlKind::kChoiceBox:
        kind = L"COMBOBOX";
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        text.clear();
        break;
      case ControlKind::kCheckBox:
        // BS_3STATE, not BS_AUTO3STATE: a click asks the logic, and only the store greys it.
        kind = L"BUTTON";
        style |= WS_TABSTOP | BS_3STATE | BS_MULTILINE | BS_VCENTER;
        break;
      case ControlKind::kButton:
        kind = L"BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE;
        break;
      case ControlKind::kPictureButton:
        kind = L"BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON | BS_ICON;
        text = Wide(row.accessibleName);  // what a screen reader says for the picture
        break;
    }
    const HWND control = CreateWindowExW(
        extended, kind, text.c_str(), style, 0, 0, 10, 10, content_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(i))),
        instance, nullptr);
    controls_[i] = control;
    if (row.kind == ControlKind::kChoiceBox) {
      for (const Choice& choice : row.option->choices) {
        SendMessageW(control, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Wide(choice.caption).c_str()));
      }
    }
    if (row.kind == ControlKind::kTextBox || row.kind == ControlKind::kCheckBox ||
        row.kind == ControlKind::kChoiceBox) {
      SetAccessibleName(control, Wide(AccessibleName(row)));
    }
    if (const std::string_view tip = ToolTip(row); !tip.empty()) {
      std::wstring wideTip = Wide(tip);
      TTTOOLINFOW tool{};
      tool.cbSize = sizeof tool;
      tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      tool.hwnd = content_;
      tool.uId = reinterpret_cast<UINT_PTR>(control);
      tool.lpszText = wideTip.data();
      SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
  }
  // Tab follows the order of the controls from the top: the focus order first, then the
  // labels, then the group boxes at the bottom, under everything they frame.
  std::vector<HWND> order;
  for (const std::size_t control : kFocusOrder) order.push_back(controls_[control]);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (std::find(order.begin(), order.end(), controls_[i]) == order.end() &&
        kControls[i].kind != ControlKind::kGroupBox) {
      order.push_back(controls_[i]);
    }
  }
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (kControls[i].kind == ControlKind::kGroupBox) order.push_back(controls_[i]);
  }
  HWND above = HWND_TOP;
  for (const HWND control : order) {
    SetWindowPos(control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    above = control;
  }
}

void Form1::MakeFont() {
  // The pictures of the file buttons at the size of 16 pixels at this DPI.
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const int size = MulDiv(16, static_cast<int>(dpi_), 96);
  for (const auto& [name, resource, icon] :
       {std::tuple{"cOpen", kOpenIcon, &openIcon_}, std::tuple{"cSave", kSaveIcon, &saveIcon_}}) {
    const HICON old = *icon;
    *icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(resource), IMAGE_ICON, size,
                                          size, LR_DEFAULTCOLOR));
    SendMessageW(Control(name), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(*icon));
    if (old != nullptr) DestroyIcon(old);
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi_);
  const HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  for (const HWND control : controls_) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (font_ != nullptr) DeleteObject(font_);
  font_ = font;
}

void Form1::LayOut() {
  const Win32TextMeasure metrics(content_, font_, dpi_);
  layout_ = Layout(metrics, dpi_);
  // The window opens at its laid-out size, or at the work area's when that is smaller, and
  // scrolls then.
  RECT frame{0, 0, layout_.width, layout_.height};
  AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_ACCEPTFILES, dpi_);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int height = std::min<int>(frame.bottom - frame.top, work.bottom - work.top);
  // A window cut short by the work area scrolls: room for its vertical bar, so that it needs
  // no horizontal one.
  const int bar = height < frame.bottom - frame.top ? GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_) : 0;
  const int width = std::min<int>(frame.right - frame.left + bar, work.right - work.left);
  SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  Place();
}

void Form1::Place() {
  if (placing_) return;  // showing or hiding a scroll bar resizes the client area
  placing_ = true;
  // The client area as it would be without scroll bars, and the bars that what it cannot show
  // needs: a vertical one narrows it, which may call for a horizontal one, and so on.
  RECT client{};
  GetClientRect(window_, &client);
  const int barWidth = GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_);
  const int barHeight = GetSystemMetricsForDpi(SM_CYHSCROLL, dpi_);
  const LONG style = GetWindowLongW(window_, GWL_STYLE);
  const int width = client.right + ((style & WS_VSCROLL) != 0 ? barWidth : 0);
  const int height = client.bottom + ((style & WS_HSCROLL) != 0 ? barHeight : 0);
  bool vertical = layout_.height > height;
  const bool horizontal = layout_.width > width - (vertical ? barWidth : 0);
  vertical = layout_.height > height - (horizontal ? barHeight : 0);
  ShowScrollBar(window_, SB_HORZ, horizontal);
  ShowScrollBar(window_, SB_VERT, vertical);
  const int shownWidth = width - (vertical ? barWidth : 0);
  const int shownHeight = height - (horizontal ? barHeight : 0);
  const FormLayout placed = Widened(layout_, shownWidth);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const PixelRect& rect = placed.rects[i];
    // A drop-down list's height takes in its open list: room for its choices below the box.
    const int boxHeight = kControls[i].kind == ControlKind::kChoiceBox
                           ? rect.height * (1 + static_cast<int>(kControls[i].option->choices.size()))
                           : rect.height;
    MoveWindow(controls_[i], rect.left, rect.top, rect.width, boxHeight, TRUE);
  }
  for (const int bar : {SB_HORZ, SB_VERT}) {
    const int page = bar == SB_HORZ ? shownWidth : shownHeight;
    const int whole = bar == SB_HORZ ? placed.width : placed.height;
    LONG& offset = bar == SB_HORZ ? scroll_.x : scroll_.y;
    offset = std::clamp<LONG>(offset, 0, std::max(0, whole - page));
    if ((bar == SB_HORZ ? horizontal : vertical)) {
      SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, whole - 1,
                      static_cast<UINT>(std::max(page, 0)), static_cast<int>(offset), 0};
      SetScrollInfo(window_, bar, &info, TRUE);
    }
  }
  MoveWindow(content_, -scroll_.x, -scroll_.y, placed.width, placed.height, TRUE);
  placing_ = false;
}

void Form1::Scroll(int bar, int request) {
  SCROLLINFO info{sizeof info, SIF_ALL};
  GetScrollInfo(window_, bar, &info);
  const int line = ToPixels(20 * dpi_ / 96.0);
  int position = info.nPos;
  switch (request) {
    case SB_LINEUP: position -= line; break;
    case SB_LINEDOWN: position += line; break;
    case SB_PAGEUP: position -= static_cast<int>(info.nPage); break;
    case SB_PAGEDOWN: position += static_cast<int>(info.nPage); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: position = info.nTrackPos; break;
    case SB_TOP: position = info.nMin; break;
    case SB_BOTTOM: position = info.nMax; break;
    default: break;
  }
  (bar == SB_HORZ ? scroll_.x : scroll_.y) = std::max(0, position);
  Place();
}

std::wstring Form1::TextOf(HWND control) const {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(),
                                                      static_cast<int>(text.size()))));
  return text;
}

void Form1::ShowValues() {
  showing_ = true;
  const ControlValues& values = logic_.values();
  for (const Option& option : kOptions) {
    const HWND control = controls_[ControlOf(option)];
    // A greyed-out control says why in its tooltip.
    const std::string_view disabled = logic_.DisabledBecause(option);
    if ((IsWindowEnabled(control) != FALSE) != disabled.empty()) {
      EnableWindow(control, disabled.empty());
      std::wstring tip = Wide(std::string(option.tip) +
                              (disabled.empty() ? "" : ' ' + std::string(disabled)));
      TTTOOLINFOW tool{};
      tool.cbSize = sizeof tool;
      tool.hwnd = content_;
      tool.uId = reinterpret_cast<UINT_PTR>(control);
      tool.lpszText = tip.data();
      SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    if (option.check != nullptr) {
      const int value = values.*option.check;
      SendMessageW(control, BM_SETCHECK,
                   value == 1 ? BST_CHECKED : value == 2 ? BST_INDETERMINATE : BST_UNCHECKED, 0);
    } else if (option.choice != nullptr) {
      if (SendMessageW(control, CB_GETCURSEL, 0, 0) != values.*option.choice) {
        SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(values.*option.choice), 0);
      }
    } else if (const std::wstring text = Wide(values.*option.text); TextOf(control) != text) {
      SetWindowTextW(control, text.c_str());
    }
  }
  SetWindowTextW(Control("lStatus"), Wide(logic_.status()).c_str());
  EnableWindow(Control("cOpenFolder"), logic_.CanOpenFolder());
  showing_ = false;
}

void Form1::OnCommand(int id, int notification) {
  const auto index = static_cast<std::size_t>(id - kFirstControlId);
  if (id < kFirstControlId || index >= kControls.size()) return;
  const ControlRow& row = kControls[index];
  switch (row.kind) {
    case ControlKind::kTextBox:
      if (notification == EN_CHANGE && !showing_) {
        logic_.SetText(*row.option, Utf8(TextOf(controls_[index])));
        ShowValues();
      } else if (notification == EN_KILLFOCUS && !returningFocus_ &&
                 row.option->kind == OptionKind::kNumericText) {
        // Checked once the focus has arrived where it was going, not in the middle of the move.
        PostMessageW(content_, kCheckMessage, index, 0);
      }
      return;
    case ControlKind::kCheckBox:
      if (notification == BN_CLICKED) {
        logic_.ToggleCheck(*row.option);
        ShowValues();
      }
      return;
    case ControlKind::kChoiceBox:
      if (notification == CBN_SELCHANGE && !showing_) {
        logic_.SetChoice(*row.option,
                         static_cast<int>(SendMessageW(controls_[index], CB_GETCURSEL, 0, 0)));
        ShowValues();
      }
      return;
    case ControlKind::kButton:
    case ControlKind::kPictureButton:
      if (notification != BN_CLICKED) return;
      if (row.name == "cOpen") Press(&FormLogic::OpenPressed);
      if (row.name == "cSave") Press(&FormLogic::SavePressed);
      if (row.name == "cAbout") Press(&FormLogic::AboutPressed);
      if (row.name == "cOpenFolder") Press(&FormLogic::OpenFolderPressed);
      if (row.name == "cStartConv") StartConversion();
      return;
    default:
      return;
  }
}

void Form1::CheckNumber(std::size_t row) {
  // The focus gone to another window, the message box among them, does not leave the box.
  const HWND focus = GetFocus();
  if (focus == nullptr || !IsChild(window_, focus) || logic_.CheckNumber(*kControls[row].option)) {
    return;
  }
  checkFailed_ = true;
  // The control that had the focus meanwhile loses it now; that must not start its own check.
  // The text is selected, so that typing replaces it.
  returningFocus_ = true;
  SetFocus(controls_[row]);
  SendMessageW(controls_[row], EM_SETSEL, 0, -1);
  returningFocus_ = false;
}

bool Form1::NumbersSettled() {
  // A box left by clicking a button is checked before the button does anything, and a check
  // that fails cancels the click.
  checkFailed_ = false;
  MSG message;
  while (PeekMessageW(&message, content_, kCheckMessage, kCheckMessage, PM_REMOVE)) {
    CheckNumber(static_cast<std::size_t>(message.wParam));
  }
  return !checkFailed_;
}

void Form1::Press(void (FormLogic::*handler)()) {
  if (!NumbersSettled()) return;
  (logic_.*handler)();
  ShowValues();
}

void Form1::StartConversion() {
  if (!NumbersSettled() || logic_.running()) return;
  logic_.StartPressed();
  // Nothing typed while the run goes reaches the controls, to be applied afterwards.
  EnableWindow(content_, FALSE);
  SetTimer(window_, kPollTimer, kPollMilliseconds, nullptr);
}

void Form1::PollRun() {
  if (polling_) return;  // a question asked while the run ends runs its own message loop
  polling_ = true;
  KillTimer(window_, kPollTimer);
  const RunProgress progress = logic_.Poll();
  polling_ = false;
  if (!progress.running) {
    CloseProgress();
    EnableWindow(content_, TRUE);
    ShowValues();
    SetFocus(Control("cStartConv"));
    return;
  }
  if (progress.showDialog) ShowProgress(progress);
  SetTimer(window_, kPollTimer, kPollMilliseconds, nullptr);
}

void Form1::ShowProgress(const RunProgress& progress) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const double pixel = dpi_ / 96.0;
  if (progress_ == nullptr) {
    progress_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kProgressClass, L"Snipforge",
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, CW_USEDEFAULT,
                                CW_USEDEFAULT, ToPixels(360 * pixel), ToPixels(150 * pixel),
                                window_, nullptr, instance, this);
    const auto child = [&](const wchar_t* kind, const wchar_t* text, DWORD style, int id, int x,
                           int y, int w, int h) {
      const HWND control = CreateWindowExW(
          0, kind, text, WS_CHILD | WS_VISIBLE | style, ToPixels(x * pixel), ToPixels(y * pixel),
          ToPixels(w * pixel), ToPixels(h * pixel), progress_,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
      return control;
    };
    child(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, kProgressLabelId, 12, 10, 320, 20);
    const HWND bar = child(PROGRESS_CLASSW, L"", 0, kProgressBarId, 12, 34, 320, 18);
    SendMessageW(bar, PBM_SETRANGE32, 0, 100);
    child(L"BUTTON", L"Cancel", WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL, 252, 64, 80, 26);
  }
  SetWindowTextW(GetDlgItem(progress_, kProgressLabelId), Wide(progress.stage).c_str());
  SendMessageW(GetDlgItem(progress_, kProgressBarId), PBM_SETPOS,
               static_cast<WPARAM>(progress.percent), 0);
  EnableWindow(GetDlgItem(progress_, IDCANCEL), !progress.tooLateToCancel);
}

void Form1::CloseProgress() {
  if (progress_ != nullptr) DestroyWindow(progress_);
  progress_ = nullptr;
}

void Form1::Close() {
  // A conversion still running stops, leaving the old script, and the values are saved.
  KillTimer(window_, kPollTimer);
  CloseProgress();
  logic_.CloseWindow();
  DestroyWindow(window_);
}

void Form1::DrawGapLabel(const DRAWITEMSTRUCT& item) {
  const auto row = static_cast<std::size_t>(item.CtlID) - kFirstControlId;
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  const HGDIOBJ old = SelectObject(item.hDC, font_);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(IsWindowEnabled(content_) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  SetTextAlign(item.hDC, TA_BASELINE | TA_LEFT);
  for (const PlacedWord& word : layout_.words[row]) {
    const std::wstring text = Wide(word.text);
    TextOutW(item.hDC, ToPixels(word.x), ToPixels(word.baseline), text.c_str(),
             static_cast<int>(text.size()));
  }
  SelectObject(item.hDC, old);
}

LRESULT Form1::OnContent(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(w), HIWORD(w));
      return 0;
    case WM_DRAWITEM:
      DrawGapLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(l));
      return TRUE;
    case kCheckMessage:
      CheckNumber(static_cast<std::size_t>(w));
      return 0;
    default:
      return DefWindowProcW(content_, message, w, l);
  }
}

LRESULT Form1::OnWindow(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_SIZE:
      if (content_ != nullptr) Place();
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      Scroll(message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(w));
      return 0;
    case WM_MOUSEWHEEL:
      Scroll(SB_VERT, GET_WHEEL_DELTA_WPARAM(w) > 0 ? SB_LINEUP : SB_LINEDOWN);
      return 0;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(w);
      MakeFont();
      LayOut();
      const RECT* suggested = reinterpret_cast<const RECT*>(l);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_SETTINGCHANGE:
      if (w == SPI_SETNONCLIENTMETRICS) {
        MakeFont();
        LayOut();
      }
      return 0;
    case WM_TIMER:
      if (w == kPollTimer) PollRun();
      return 0;
    case WM_ACTIVATE:
      // As a dialog does: the focus goes back where it was when the window was left, at first
      // into Input.
      if (LOWORD(w) == WA_INACTIVE) {
        if (const HWND focus = GetFocus(); focus != nullptr && IsChild(content_, focus)) {
          lastFocus_ = focus;
        }
      } else {
        SetFocus(lastFocus_ != nullptr && IsWindow(lastFocus_) ? lastFocus_ : Control("tInput"));
      }
      return 0;
    case WM_DROPFILES: {
      const HDROP drop = reinterpret_cast<HDROP>(w);
      if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        std::wstring path(static_cast<std::size_t>(DragQueryFileW(drop, 0, nullptr, 0)) + 1, L'\0');
        path.resize(DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size())));
        POINT at{};
        DragQueryPoint(drop, &at);
        MapWindowPoints(window_, nullptr, &at, 1);
        RECT output{};
        GetWindowRect(Control("tOutput"), &output);
        if (PtInRect(&output, at)) {
          logic_.TakeOutput(Utf8(path));
        } else {
          logic_.TakeInput(Utf8(path));
        }
        ShowValues();
      }
      DragFinish(drop);
      return 0;
    }
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DESTROY:
      window_ = nullptr;
      if (quitOnClose_) PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window_, message, w, l);
  }
}

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  Form1* form = ObjectOf<Form1>(window, message, l);
  if (form == nullptr || form->window_ == nullptr) {
    if (form != nullptr && message == WM_NCCREATE) form->window_ = window;
    return DefWindowProcW(window, message, w, l);
  }
  return form->OnWindow(message, w, l);
}

LRESULT CALLBACK Form1::ContentProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  Form1* form = ObjectOf<Form1>(window, message, l);
  if (form == nullptr || form->content_ != window) return DefWindowProcW(window, message, w, l);
  return form->OnContent(message, w, l);
}

LRESULT CALLBACK Form1::ProgressProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  Form1* form = ObjectOf<Form1>(window, message, l);
  // Cancel, Escape or closing the box stops the run; the window shows how it ended.
  if (form != nullptr && ((message == WM_COMMAND && LOWORD(w) == IDCANCEL) || message == WM_CLOSE)) {
    form->logic_.Cancel();
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace snipforge
