#include "window/win32/form1.h"

#include <commctrl.h>
#include <initguid.h>
#include <ole2.h>
#include <oleacc.h>
#include <shellapi.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "window/win32/resources.h"
#include "window/win32/win32_desktop.h"

namespace snipforge {
namespace {

constexpr wchar_t kWindowClass[] = L"SnipforgeForm1";
constexpr wchar_t kViewportClass[] = L"SnipforgeViewport";
constexpr wchar_t kContentClass[] = L"SnipforgeContent";
constexpr wchar_t kProgressClass[] = L"SnipforgeProgress";
constexpr UINT kTaskMessage = WM_APP + 1;  // a task of After without delay (wParam: its id)
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

void RegisterClasses(HINSTANCE instance, WNDPROC window, WNDPROC viewport, WNDPROC content,
                     WNDPROC progress) {
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
  area.hIcon = nullptr;
  area.hIconSm = nullptr;
  for (const auto& [proc, name] : {std::pair{viewport, kViewportClass},
                                   std::pair{content, kContentClass},
                                   std::pair{progress, kProgressClass}}) {
    area.lpfnWndProc = proc;
    area.lpszClassName = name;
    RegisterClassExW(&area);
  }
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

// A group box draws its frame and caption only; the window it stands in clips it out of its own
// painting. So that nothing drawn before, at another scroll position, shows through, it fills
// itself with the dialog colour first.
LRESULT CALLBACK GroupBoxProc(HWND box, UINT message, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR) {
  if (message == WM_ERASEBKGND) {
    RECT area{};
    GetClientRect(box, &area);
    FillRect(reinterpret_cast<HDC>(w), &area, GetSysColorBrush(COLOR_BTNFACE));
    return TRUE;
  }
  return DefSubclassProc(box, message, w, l);
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

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(),
                                                      static_cast<int>(text.size()))));
  return text;
}

bool IsButton(const ControlRow& row) {
  return row.kind == ControlKind::kButton || row.kind == ControlKind::kPictureButton;
}

}  // namespace

Form1::Form1(DesktopDialogs& dialogs, std::optional<StoreLocations> stores,
             const std::optional<std::string>& input, bool quitOnClose)
    : logic_(dialogs, *this, std::move(stores)), quitOnClose_(quitOnClose) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  static const bool registered = [&] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                       ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterClasses(instance, WindowProc, ViewportProc, ContentProc, ProgressProc);
    return true;
  }();
  static_cast<void>(registered);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  window_ = CreateWindowExW(WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT, kWindowClass,
                            Wide(kWindowTitle).c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                            CW_USEDEFAULT, CW_USEDEFAULT, 400, 700, nullptr, nullptr, instance,
                            this);
  viewport_ = CreateWindowExW(WS_EX_CONTROLPARENT, kViewportClass, L"",
                              WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL,
                              0, 0, 10, 10, window_, nullptr, instance, this);
  content_ = CreateWindowExW(WS_EX_CONTROLPARENT, kContentClass, L"",
                             WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 10, 10, viewport_,
                             nullptr, instance, this);
  statusBar_ = CreateWindowExW(WS_EX_CONTROLPARENT, kContentClass, L"",
                               WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 10, 10, window_,
                               nullptr, instance, this);
  dpi_ = GetDpiForWindow(window_);
  BuildControls();
  if (input) logic_.TakeInput(*input);
  MakeFont();
  LayOut();
  // Once the boxes have their size, so that a box shows its text from the start.
  logic_.Opened();
}

Form1::~Form1() {
  if (window_ != nullptr) DestroyWindow(window_);
  if (font_ != nullptr) DeleteObject(font_);
  if (openIcon_ != nullptr) DestroyIcon(openIcon_);
  if (saveIcon_ != nullptr) DestroyIcon(saveIcon_);
}

HWND Form1::Control(std::string_view name) const { return controls_[FindControl(name)]; }

std::size_t Form1::RowOf(HWND control) const {
  return static_cast<std::size_t>(std::find(controls_.begin(), controls_.end(), control) -
                                  controls_.begin());
}

void Form1::BuildControls() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);
  SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const ControlRow& row = kControls[i];
    // The caption with "&" before its key's letter, which the system underlines.
    const std::wstring caption = Wide(CaptionWithKey(row));
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
        style |= SS_LEFT;
        break;
      case ControlKind::kStatusLine:
        // Drawn as two lines, each cut short with an ellipsis; its text, the whole message, is
        // what screen readers and the tooltip give. SS_NOTIFY lets the tooltip see the mouse.
        style |= SS_OWNERDRAW | SS_NOPREFIX | SS_NOTIFY;
        text.clear();
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
    const HWND parent = row.inStatusBar ? statusBar_ : content_;
    const HWND control = CreateWindowExW(
        extended, kind, text.c_str(), style, 0, 0, 10, 10, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(i))),
        instance, nullptr);
    controls_[i] = control;
    if (row.kind == ControlKind::kGroupBox) SetWindowSubclass(control, GroupBoxProc, 0, 0);
    if (row.kind == ControlKind::kChoiceBox) {
      for (const Choice& choice : row.option->choices) {
        SendMessageW(control, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Wide(choice.caption).c_str()));
      }
    }
    if (row.kind == ControlKind::kTextBox || row.kind == ControlKind::kCheckBox ||
        row.kind == ControlKind::kChoiceBox || row.kind == ControlKind::kButton) {
      SetAccessibleName(control, Wide(AccessibleName(row)));  // without the key's "&"
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = parent;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    std::wstring tip = Wide(ToolTip(row));
    tool.lpszText = tip.data();
    if (!tip.empty() || row.kind == ControlKind::kStatusLine) {
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
  // The area that scrolls comes before the status bar, which holds the last control.
  for (const HWND parent : {content_, statusBar_}) {
    HWND above = HWND_TOP;
    for (const HWND control : order) {
      if (GetParent(control) != parent) continue;
      SetWindowPos(control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      above = control;
    }
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

int Form1::StatusBarHeight() const {
  // The bar, and the etched line above it.
  return layout_.statusBarHeight + GetSystemMetricsForDpi(SM_CYEDGE, dpi_);
}

void Form1::LayOut() {
  const Win32TextMeasure metrics(content_, font_, dpi_);
  layout_ = Layout(metrics, dpi_);
  // The window opens at its laid-out size, or at the work area's when that is smaller, frame
  // included, and scrolls then; it is moved into the work area as a whole.
  RECT frame{0, 0, layout_.width, layout_.height + StatusBarHeight()};
  AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, FALSE,
                           WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT, dpi_);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const int height = std::min<int>(frame.bottom - frame.top, work.bottom - work.top);
  // A window cut short by the work area scrolls: room for its vertical bar, so that it needs
  // no horizontal one.
  const int bar = height < frame.bottom - frame.top ? GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_) : 0;
  const int width = std::min<int>(frame.right - frame.left + bar, work.right - work.left);
  RECT at{};
  GetWindowRect(window_, &at);
  const int left = std::clamp<int>(at.left, work.left, work.right - width);
  const int top = std::clamp<int>(at.top, work.top, work.bottom - height);
  SetWindowPos(window_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  Place();
}

void Form1::Place() {
  if (placing_) return;  // showing or hiding a scroll bar resizes the client area
  placing_ = true;
  RECT client{};
  GetClientRect(window_, &client);
  const int barTop = std::max<int>(0, client.bottom - StatusBarHeight());
  MoveWindow(statusBar_, 0, barTop, client.right, client.bottom - barTop, TRUE);
  const FormLayout bar = Widened(layout_, static_cast<int>(client.right));
  const int edge = GetSystemMetricsForDpi(SM_CYEDGE, dpi_);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (!kControls[i].inStatusBar) continue;
    const PixelRect& rect = bar.rects[i];
    MoveWindow(controls_[i], rect.left, rect.top + edge, rect.width, rect.height, TRUE);
  }
  MoveWindow(viewport_, 0, 0, client.right, barTop, TRUE);
  // The area as it would be without scroll bars, and the bars that what it cannot show needs:
  // a vertical one narrows it, which may call for a horizontal one, and so on.
  const int barWidth = GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_);
  const int barHeight = GetSystemMetricsForDpi(SM_CYHSCROLL, dpi_);
  const int width = client.right;
  const int height = barTop;
  bool vertical = layout_.height > height;
  const bool horizontal = layout_.width > width - (vertical ? barWidth : 0);
  vertical = layout_.height > height - (horizontal ? barHeight : 0);
  ShowScrollBar(viewport_, SB_HORZ, horizontal);
  ShowScrollBar(viewport_, SB_VERT, vertical);
  const int shownWidth = width - (vertical ? barWidth : 0);
  const int shownHeight = height - (horizontal ? barHeight : 0);
  const FormLayout placed = Widened(layout_, shownWidth);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (kControls[i].inStatusBar) continue;
    const PixelRect& rect = placed.rects[i];
    // A drop-down list's height takes in its open list: room for its choices below the box.
    const int boxHeight = kControls[i].kind == ControlKind::kChoiceBox
                           ? rect.height * (1 + static_cast<int>(kControls[i].option->choices.size()))
                           : rect.height;
    MoveWindow(controls_[i], rect.left, rect.top, rect.width, boxHeight, TRUE);
    if (kControls[i].kind == ControlKind::kChoiceBox) {
      // Its closed height follows the height of its selection field, which the font sets: the
      // field grows or shrinks until the box is as high as laid out.
      int field = static_cast<int>(
          SendMessageW(controls_[i], CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
      for (int step = 0; step < 3 && field > 0; ++step) {
        RECT shown{};
        GetWindowRect(controls_[i], &shown);
        const int missing = rect.height - static_cast<int>(shown.bottom - shown.top);
        if (missing == 0 || field + missing <= 0) break;
        field += missing;
        SendMessageW(controls_[i], CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
      }
    }
  }
  for (const int which : {SB_HORZ, SB_VERT}) {
    const int page = which == SB_HORZ ? shownWidth : shownHeight;
    const int whole = which == SB_HORZ ? placed.width : placed.height;
    LONG& offset = which == SB_HORZ ? scroll_.x : scroll_.y;
    offset = std::clamp<LONG>(offset, 0, std::max(0, whole - page));
    if ((which == SB_HORZ ? horizontal : vertical)) {
      SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, whole - 1,
                      static_cast<UINT>(std::max(page, 0)), static_cast<int>(offset), 0};
      SetScrollInfo(viewport_, which, &info, TRUE);
    }
  }
  MoveWindow(content_, -scroll_.x, -scroll_.y, placed.width, placed.height, TRUE);
  // Everything is drawn anew where it now stands.
  RedrawWindow(content_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  placing_ = false;
}

void Form1::Scroll(int bar, int request) {
  SCROLLINFO info{sizeof info, SIF_ALL};
  GetScrollInfo(viewport_, bar, &info);
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

void Form1::SetTip(HWND control, const std::string& text) {
  // Line breaks as the tooltip shows them.
  std::wstring tip;
  for (const wchar_t c : Wide(text)) {
    if (c == L'\n') tip += L'\r';
    tip += c;
  }
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = tip.data();
  SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Form1::ShowValues() {
  const ControlValues& values = logic_.values();
  for (const Option& option : kOptions) {
    const HWND control = controls_[ControlOf(option)];
    // A greyed-out control says why in its tooltip.
    const std::string_view disabled = logic_.DisabledBecause(option);
    if ((IsWindowEnabled(control) != FALSE) != disabled.empty()) {
      EnableWindow(control, disabled.empty());
      SetTip(control, std::string(option.tip) +
                          (disabled.empty() ? "" : ' ' + std::string(disabled)));
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
  const HWND status = Control("lStatus");
  if (const std::wstring text = Wide(logic_.status()); TextOf(status) != text) {
    SetWindowTextW(status, text.c_str());
    SetTip(status, logic_.status());
    InvalidateRect(status, nullptr, TRUE);
  }
  EnableWindow(Control("cOpenFolder"), logic_.CanOpenFolder());
}

void Form1::OnCommand(int id, int notification) {
  const auto index = static_cast<std::size_t>(id - kFirstControlId);
  if (id < kFirstControlId || index >= kControls.size()) return;
  const ControlRow& row = kControls[index];
  switch (row.kind) {
    case ControlKind::kTextBox:
      if (notification == EN_CHANGE) {
        logic_.SetText(*row.option, Utf8(TextOf(controls_[index])));
      } else if (notification == EN_KILLFOCUS) {
        logic_.FocusLeft(index);
      }
      return;
    case ControlKind::kCheckBox:
      if (notification == BN_CLICKED) logic_.ToggleCheck(*row.option);
      return;
    case ControlKind::kChoiceBox:
      if (notification == CBN_SELCHANGE) {
        logic_.SetChoice(*row.option,
                         static_cast<int>(SendMessageW(controls_[index], CB_GETCURSEL, 0, 0)));
      }
      return;
    case ControlKind::kButton:
    case ControlKind::kPictureButton:
      if (notification == BN_CLICKED) logic_.Pressed(index);
      return;
    default:
      return;
  }
}

bool Form1::PreTranslateMessage(MSG& message) {
  if (window_ == nullptr) return false;
  // The progress box's own keys: Escape is Cancel.
  if (progress_ != nullptr && (message.hwnd == progress_ || IsChild(progress_, message.hwnd))) {
    return IsDialogMessageW(progress_, &message) != FALSE;
  }
  if (message.hwnd != window_ && IsChild(window_, message.hwnd) == FALSE) return false;
  const HWND focus = GetFocus();
  bool handled = false;
  if (message.message == WM_SYSCHAR && message.wParam < 0x80) {
    // Alt and a letter go where the control table says; a label would otherwise send the focus
    // to the control after it in the tab order.
    handled = logic_.KeyPressed(static_cast<char>(message.wParam));
  } else if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
             RowOf(focus) < kControls.size() && IsButton(kControls[RowOf(focus)])) {
    // Enter on a button presses it.
    SendMessageW(focus, BM_CLICK, 0, 0);
    handled = true;
  }
  if (!handled) handled = IsDialogMessageW(window_, &message) != FALSE;
  if (window_ != nullptr && GetFocus() != focus) ShowFocused();
  return handled;
}

void Form1::ShowFocused() {
  // The control the keyboard moved to is scrolled into sight, with a little room around it.
  const HWND focus = GetFocus();
  if (focus == nullptr || GetParent(focus) != content_) return;
  RECT control{};
  GetWindowRect(focus, &control);
  MapWindowPoints(nullptr, content_, reinterpret_cast<POINT*>(&control), 2);
  RECT shown{};
  GetClientRect(viewport_, &shown);
  const LONG room = ToPixels(8 * dpi_ / 96.0);
  POINT at = scroll_;
  for (const auto& [offset, first, last, size] :
       {std::tuple{&at.x, control.left, control.right, shown.right},
        std::tuple{&at.y, control.top, control.bottom, shown.bottom}}) {
    if (first - room < *offset) {
      *offset = std::max<LONG>(0, first - room);
    } else if (last + room > *offset + size) {
      *offset = std::min<LONG>(first - room, last + room - size);
    }
  }
  if (at.x != scroll_.x || at.y != scroll_.y) {
    scroll_ = at;
    Place();
  }
}

void Form1::Focus(std::size_t control) {
  SetFocus(controls_[control]);
  if (kControls[control].kind == ControlKind::kTextBox) {
    SendMessageW(controls_[control], EM_SETSEL, 0, -1);
  }
  ShowFocused();
}

std::optional<std::size_t> Form1::FocusedControl() const {
  const std::size_t row = RowOf(GetFocus());
  if (row == kControls.size()) return std::nullopt;
  return row;
}

void Form1::After(std::chrono::milliseconds delay, std::function<void()> task) {
  if (window_ == nullptr) return;
  const UINT_PTR id = nextTask_++;
  tasks_.emplace(id, std::move(task));
  if (delay.count() == 0) {
    PostMessageW(window_, kTaskMessage, id, 0);
  } else {
    SetTimer(window_, id, static_cast<UINT>(delay.count()), nullptr);
  }
}

void Form1::RunTask(UINT_PTR id) {
  KillTimer(window_, id);
  const auto task = tasks_.find(id);
  if (task == tasks_.end()) return;
  const std::function<void()> call = std::move(task->second);
  tasks_.erase(task);
  call();
}

void Form1::ShowRun(const RunProgress& run) {
  // Nothing typed while the run goes reaches the controls, to be applied afterwards.
  EnableWindow(content_, !run.running);
  EnableWindow(statusBar_, !run.running);
  if (!run.showDialog) {
    CloseProgress();
    return;
  }
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const double pixel = dpi_ / 96.0;
  if (progress_ == nullptr) {
    // Centred over the window, within the work area.
    const int width = ToPixels(360 * pixel);
    const int height = ToPixels(150 * pixel);
    RECT over{};
    GetWindowRect(window_, &over);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const int left = std::clamp<int>((over.left + over.right - width) / 2, work.left,
                                     std::max<int>(work.left, work.right - width));
    const int top = std::clamp<int>((over.top + over.bottom - height) / 2, work.top,
                                    std::max<int>(work.top, work.bottom - height));
    progress_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kProgressClass,
                                L"Snipforge", WS_POPUP | WS_CAPTION | WS_SYSMENU, left, top, width,
                                height, window_, nullptr, instance, this);
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
    const HWND cancel =
        child(L"BUTTON", L"Cancel", WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL, 252, 64, 80, 26);
    ShowWindow(progress_, SW_SHOW);
    SetFocus(cancel);
  }
  SetWindowTextW(GetDlgItem(progress_, kProgressLabelId), Wide(run.stage).c_str());
  SendMessageW(GetDlgItem(progress_, kProgressBarId), PBM_SETPOS,
               static_cast<WPARAM>(run.percent), 0);
  EnableWindow(GetDlgItem(progress_, IDCANCEL), !run.tooLateToCancel);
}

void Form1::CloseProgress() {
  if (progress_ == nullptr) return;
  const HWND box = std::exchange(progress_, nullptr);
  const bool active = GetActiveWindow() == box;
  DestroyWindow(box);
  if (active && window_ != nullptr) SetActiveWindow(window_);
}

void Form1::Close() {
  // A conversion still running stops, leaving the old script, and the values are saved.
  for (const auto& task : tasks_) KillTimer(window_, task.first);
  tasks_.clear();
  CloseProgress();
  logic_.CloseWindow();
  DestroyWindow(window_);
}

void Form1::DrawGapLabel(const DRAWITEMSTRUCT& item) {
  const auto row = static_cast<std::size_t>(item.CtlID) - kFirstControlId;
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  const HGDIOBJ old = SelectObject(item.hDC, font_);
  const bool enabled = IsWindowEnabled(content_) != FALSE;
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  SetTextAlign(item.hDC, TA_BASELINE | TA_LEFT);
  // The key's letter is underlined as the system underlines it in other captions: unless the
  // keyboard cues are hidden until Alt is pressed.
  const bool showKey = (item.itemState & ODS_NOACCEL) == 0;
  const int line = std::max(1, ToPixels(dpi_ / 96.0));
  for (const PlacedWord& word : layout_.words[row]) {
    const std::wstring text = Wide(word.text);
    const int x = ToPixels(word.x);
    const int y = ToPixels(word.baseline);
    TextOutW(item.hDC, x, y, text.c_str(), static_cast<int>(text.size()));
    if (!showKey || word.key == std::string::npos) continue;
    const std::wstring before = Wide(std::string_view(word.text).substr(0, word.key));
    const std::wstring letter = Wide(std::string_view(word.text).substr(word.key, 1));
    SIZE start{};
    SIZE size{};
    GetTextExtentPoint32W(item.hDC, before.c_str(), static_cast<int>(before.size()), &start);
    GetTextExtentPoint32W(item.hDC, letter.c_str(), static_cast<int>(letter.size()), &size);
    const RECT underline{x + start.cx, y + line, x + start.cx + size.cx, y + 2 * line};
    FillRect(item.hDC, &underline, GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  }
  SelectObject(item.hDC, old);
}

void Form1::DrawStatus(const DRAWITEMSTRUCT& item) {
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  const HGDIOBJ old = SelectObject(item.hDC, font_);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC,
               GetSysColor(IsWindowEnabled(statusBar_) != FALSE ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  // Two lines: the run's warning, then what was written, each cut short with an ellipsis; a
  // message alone wraps over both.
  std::wstring text = Wide(logic_.status());
  const std::size_t newline = text.find(L'\n');
  RECT area = item.rcItem;
  if (newline != std::wstring::npos) {
    RECT first = area;
    first.bottom = (area.top + area.bottom) / 2;
    RECT second = area;
    second.top = first.bottom;
    std::wstring rest = text.substr(newline + 1);
    std::replace(rest.begin(), rest.end(), L'\n', L' ');
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(newline), &first,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    DrawTextW(item.hDC, rest.c_str(), static_cast<int>(rest.size()), &second,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  } else {
    const UINT flags = DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS | DT_NOPREFIX;
    RECT needed = area;
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &needed, flags | DT_CALCRECT);
    const LONG spare = (area.bottom - area.top) - (needed.bottom - needed.top);
    if (spare > 0) area.top += spare / 2;
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &area, flags);
  }
  SelectObject(item.hDC, old);
}

LRESULT Form1::OnContent(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(w), HIWORD(w));
      return 0;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(l);
      if (item.hwndItem == Control("lStatus")) {
        DrawStatus(item);
      } else {
        DrawGapLabel(item);
      }
      return TRUE;
    }
    case WM_PAINT:
      if (window == statusBar_) {
        // The etched line between the area that scrolls and the status bar.
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(window, &paint);
        RECT area{};
        GetClientRect(window, &area);
        DrawEdge(dc, &area, EDGE_ETCHED, BF_TOP);
        EndPaint(window, &paint);
        return 0;
      }
      return DefWindowProcW(window, message, w, l);
    default:
      return DefWindowProcW(window, message, w, l);
  }
}

LRESULT Form1::OnViewport(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_HSCROLL:
    case WM_VSCROLL:
      Scroll(message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(w));
      return 0;
    case WM_MOUSEWHEEL:
      Scroll(SB_VERT, GET_WHEEL_DELTA_WPARAM(w) > 0 ? SB_LINEUP : SB_LINEDOWN);
      return 0;
    default:
      return DefWindowProcW(viewport_, message, w, l);
  }
}

LRESULT Form1::OnWindow(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_SIZE:
      if (statusBar_ != nullptr) Place();
      return 0;
    case WM_COMMAND:
      // The dialog keys send a button's command to the window; it belongs to the control's.
      if (RowOf(reinterpret_cast<HWND>(l)) < kControls.size()) OnCommand(LOWORD(w), HIWORD(w));
      return 0;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(w);
      MakeFont();
      const RECT* suggested = reinterpret_cast<const RECT*>(l);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      LayOut();
      return 0;
    }
    case WM_SETTINGCHANGE:
      if (w == SPI_SETNONCLIENTMETRICS) {
        MakeFont();
        LayOut();
      }
      return 0;
    case WM_TIMER:
    case kTaskMessage:
      RunTask(w);
      return 0;
    case WM_ACTIVATE:
      // As a dialog does: the focus goes back where it was when the window was left, at first
      // into the control the logic names.
      if (LOWORD(w) == WA_INACTIVE) {
        if (const HWND focus = GetFocus(); focus != nullptr && IsChild(window_, focus)) {
          lastFocus_ = focus;
        }
      } else {
        SetFocus(lastFocus_ != nullptr && IsWindow(lastFocus_)
                     ? lastFocus_
                     : controls_[FormLogic::FirstFocus()]);
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
        GetWindowRect(controls_[ControlOf(OptionFor(&ControlValues::tOutput))], &output);
        if (PtInRect(&output, at)) {
          logic_.TakeOutput(Utf8(path));
        } else {
          logic_.TakeInput(Utf8(path));
        }
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

LRESULT CALLBACK Form1::ViewportProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  Form1* form = ObjectOf<Form1>(window, message, l);
  if (form == nullptr || form->viewport_ != window) return DefWindowProcW(window, message, w, l);
  return form->OnViewport(message, w, l);
}

LRESULT CALLBACK Form1::ContentProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  Form1* form = ObjectOf<Form1>(window, message, l);
  if (form == nullptr || (form->content_ != window && form->statusBar_ != window)) {
    return DefWindowProcW(window, message, w, l);
  }
  return form->OnContent(window, message, w, l);
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
