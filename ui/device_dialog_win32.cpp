// SPDX-License-Identifier: MIT
#include "ui/device_dialog_win32.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "core/failure.h"
#include "core/utf16_text.h"

namespace lumivane {
namespace {

constexpr const wchar_t* kWindowClass = L"LumivaneDeviceDialog";
constexpr const wchar_t* kCaption = L"Choose DMX interface device";
constexpr const wchar_t* kNetworkCaption = L"Network output";
constexpr int kTwipsPerInch = 1440;

// Control ids; OK is IDOK so that Enter presses it.
enum : int {
  kOk = IDOK,
  kFrame1 = 100,
  kOptOpenDmx,
  kOptPro,
  kLabel1,
  kTxtCommPort,
  kChkArtNet,
  kLblInfo,
  kDevList,
  kCmdTest,
  kLblResult,
  kCmdNetwork,
  // The network output's own window.
  kOptArtNet,
  kOptSacn,
  kLblNetAddress,
  kTxtNetAddress,
  kLblNetUniverse,
  kTxtNetUniverse,
  kCmdFindNodes,
  kCmdNetworkClose,
  kLstNodes,
};

struct Twips {
  int left, top, width, height;
};
constexpr Twips kClientArea{0, 0, 4035, 3210};
constexpr Twips kFrame1Box{180, 330, 3795, 2220};
// The network output's button, in the gap between the box and OK, and its
// window.
constexpr Twips kCmdNetworkBox{2385, 2700, 300, 300};
constexpr Twips kNetworkArea{0, 0, 3600, 2700};

std::wstring Wide(std::string_view text) {
  const std::u16string wide = Utf8ToUtf16(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(const std::wstring& text) {
  return Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

}  // namespace

// The loaded dialog: its window, its controls and its handlers.
class Win32DeviceDialog::Window final : public DeviceView {
 public:
  Window(DeviceFormServices services) : form_(*this, services), reports_(services.reports) {}
  ~Window() override { Destroy(); }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  void Create();
  void Load() { form_.Form_Load(); }
  void Present();
  bool alive() const { return window_ != nullptr; }

  // DeviceView
  void AddListEntry(std::string_view text) override {
    const std::wstring entry = Wide(text);
    SendMessageW(devList_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    WidenList(entry);
  }
  void SetLastEntryItemData(int32_t data) override {
    const LRESULT count = SendMessageW(devList_, LB_GETCOUNT, 0, 0);
    if (count > 0) SendMessageW(devList_, LB_SETITEMDATA, static_cast<WPARAM>(count - 1), data);
  }
  void SetInfoCaption(std::string_view text) override { SetText(lblinfo_, text); }
  void SetResultCaption(std::string_view text) override { SetText(lblResult_, text); }
  void SetPortText(std::string_view text) override { SetText(txtCommPort_, text); }
  std::string PortText() const override { return Text(txtCommPort_); }
  void SelectProWidget() override { CheckRadioButton(window_, kOptOpenDmx, kOptPro, kOptPro); }
  bool ProWidgetSelected() const override { return IsDlgButtonChecked(window_, kOptPro) != 0; }
  bool OpenDmxSelected() const override { return IsDlgButtonChecked(window_, kOptOpenDmx) != 0; }
  void SetNetworkFields(const NetworkFields& fields) override {
    CheckDlgButton(window_, kChkArtNet, fields.enabled ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(network_, kOptArtNet, kOptSacn, fields.sacn ? kOptSacn : kOptArtNet);
    SetText(txtNetAddress_, fields.address);
    SetText(txtNetUniverse_, fields.universe);
  }
  NetworkFields TypedNetworkFields() const override {
    NetworkFields fields;
    fields.enabled = IsDlgButtonChecked(window_, kChkArtNet) != 0;
    fields.sacn = IsDlgButtonChecked(network_, kOptSacn) != 0;
    fields.address = Text(txtNetAddress_);
    fields.universe = Text(txtNetUniverse_);
    return fields;
  }
  void SetNodeEntries(const std::vector<std::string>& entries) override {
    SendMessageW(lstNodes_, LB_RESETCONTENT, 0, 0);
    for (const std::string& entry : entries) {
      SendMessageW(lstNodes_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
    }
  }
  int SelectedNodeEntry() const override {
    const LRESULT selected = SendMessageW(lstNodes_, LB_GETCURSEL, 0, 0);
    return selected == LB_ERR ? -1 : static_cast<int>(selected);
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK KeyboardHook(int code, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  LRESULT HandleNetwork(UINT message, WPARAM w, LPARAM l);
  HWND Control(const wchar_t* kind, const wchar_t* text, DWORD style, int id, Twips at,
               bool inFrame, HWND parent = nullptr);
  void CreateNetworkWindow(HINSTANCE module);
  void PresentNetwork();
  static std::string Text(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return Narrow(text);
  }
  int Pixels(int twips, bool horizontal) const {
    return MulDiv(twips, horizontal ? dpiX_ : dpiY_, kTwipsPerInch);
  }
  void SetText(HWND control, std::string_view text) { SetWindowTextW(control, Wide(text).c_str()); }
  template <class Handler>
  void Run(Handler handler);
  void Destroy();
  static void ExcludeOverlap(HWND control, HWND over);
  // The list keeps its designed size: an entry wider than the box scrolls
  // sideways, and the row under the pointer shows whole as its tooltip.
  void WidenList(const std::wstring& entry);
  void AddListTip(HINSTANCE module);
  static LRESULT CALLBACK ListProcedure(HWND list, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                                        DWORD_PTR self);
  void GiveListTipText(NMTTDISPINFOW& request);

  DeviceForm form_;
  UserReports& reports_;
  HWND owner_ = nullptr;  // hidden: keeps the dialog out of the taskbar
  HWND window_ = nullptr;
  HWND lblinfo_ = nullptr, txtCommPort_ = nullptr, devList_ = nullptr, lblResult_ = nullptr;
  HWND network_ = nullptr;  // owned by window_, hidden until cmdNetwork
  HWND txtNetAddress_ = nullptr, txtNetUniverse_ = nullptr, lstNodes_ = nullptr;
  bool networkPlaced_ = false;
  HFONT dialogFont_ = nullptr, infoFont_ = nullptr;
  HWND listTip_ = nullptr;
  int listExtent_ = 0;    // the widest entry's width, in pixels
  int tipRow_ = -1;       // the row under the pointer
  std::wstring tipText_;  // lent to the tooltip until it asks again
  HHOOK hook_ = nullptr;
  int dpiX_ = 96, dpiY_ = 96;
  static thread_local Window* tHooked;
};

thread_local Win32DeviceDialog::Window* Win32DeviceDialog::Window::tHooked = nullptr;

void Win32DeviceDialog::Window::Create() {
  const HINSTANCE module = ThisModule();
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  if (!GetClassInfoExW(module, kWindowClass, &cls)) {
    cls = WNDCLASSEXW{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = Procedure;
    cls.hInstance = module;
    cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&cls)) throw Failure(ErrorNumber::kNoDisplay, "window class");
  }
  HDC screen = GetDC(nullptr);
  if (screen != nullptr) {
    dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
    dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }

  owner_ = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, module,
                           nullptr);
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT frame{0, 0, Pixels(kClientArea.width, true), Pixels(kClientArea.height, false)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  window_ = CreateWindowExW(exStyle, kWindowClass, kCaption, style, CW_USEDEFAULT, CW_USEDEFAULT,
                            frame.right - frame.left, frame.bottom - frame.top, owner_, nullptr,
                            module, this);
  if (window_ == nullptr) {
    Destroy();
    throw Failure(ErrorNumber::kNoDisplay);
  }

  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  dialogFont_ = CreateFontIndirectW(&metrics.lfMessageFont);
  // 8.25 pt bold, as the info line is set.
  infoFont_ = CreateFontW(-MulDiv(825, dpiY_, 7200), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");

  // In tab order; the frame and the labels take no focus.
  Control(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, kOk, {2715, 2655, 1245, 435}, false);
  HWND frame1 = Control(L"BUTTON", L"DMX device", BS_GROUPBOX, kFrame1, kFrame1Box, false);
  Control(L"BUTTON", L"Enttec Open DMX USB", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP,
          kOptOpenDmx, {180, 210, 2400, 360}, true);
  HWND optPro = Control(L"BUTTON", L"Enttec DMX USB Pro", BS_AUTORADIOBUTTON, kOptPro,
                        {180, 480, 2745, 390}, true);
  Control(L"STATIC", L"Serial Port number:", SS_NOPREFIX | SS_LEFTNOWORDWRAP | WS_GROUP, kLabel1,
          {270, 855, 1500, 285}, true);
  txtCommPort_ = Control(L"EDIT", L"1", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP,
                         kTxtCommPort, {1800, 810, 315, 300}, true);
  // Ticked: OK sends the universe over the network too.
  Control(L"BUTTON", L"Enable ArtNet", BS_AUTOCHECKBOX | WS_TABSTOP, kChkArtNet,
          {390, 2700, 1980, 300}, false);
  // Next in tab order, so Tab from Test still reaches OK.
  Control(L"BUTTON", L"...", BS_PUSHBUTTON | WS_TABSTOP, kCmdNetwork, kCmdNetworkBox, false);
  lblinfo_ = Control(L"STATIC", L"Info", SS_NOPREFIX | SS_LEFTNOWORDWRAP, kLblInfo,
                     {180, 75, 3765, 270}, false);
  SendMessageW(lblinfo_, WM_SETFONT, reinterpret_cast<WPARAM>(infoFont_), FALSE);
  devList_ = Control(L"LISTBOX", L"",
                     WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT,
                     kDevList, {2220, 570, 1500, 1425}, true);
  AddListTip(module);
  Control(L"BUTTON", L"Test", BS_PUSHBUTTON | WS_TABSTOP, kCmdTest, {345, 1215, 1020, 360}, true);
  lblResult_ = Control(L"STATIC", L"Test Result", SS_NOPREFIX | SS_LEFTNOWORDWRAP, kLblResult,
                       {165, 1755, 1905, 315}, true);
  CheckRadioButton(window_, kOptOpenDmx, kOptPro, kOptPro);
  // The option reaches into the list box: the list stays whole, as the
  // layout has it, without changing the tab order.
  ExcludeOverlap(optPro, devList_);
  // Below the controls it holds, so it draws under them; it takes no focus,
  // so the tab order stays as created.
  SetWindowPos(frame1, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  CreateNetworkWindow(module);

  // The host's loop does not know our window: Tab, arrows and Enter reach
  // it through a hook on this thread that lets the dialog manager see them.
  tHooked = this;
  hook_ = SetWindowsHookExW(WH_GETMESSAGE, KeyboardHook, nullptr, GetCurrentThreadId());
}

void Win32DeviceDialog::Window::CreateNetworkWindow(HINSTANCE module) {
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT frame{0, 0, Pixels(kNetworkArea.width, true), Pixels(kNetworkArea.height, false)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  network_ = CreateWindowExW(exStyle, kWindowClass, kNetworkCaption, style, CW_USEDEFAULT,
                             CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                             window_, nullptr, module, this);
  if (network_ == nullptr) throw Failure(ErrorNumber::kNoDisplay, "network window");
  Control(L"BUTTON", L"Art-Net", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, kOptArtNet,
          {180, 120, 1200, 300}, false, network_);
  Control(L"BUTTON", L"sACN (E1.31)", BS_AUTORADIOBUTTON, kOptSacn, {1500, 120, 1800, 300}, false,
          network_);
  Control(L"STATIC", L"Destination:", SS_NOPREFIX | SS_LEFTNOWORDWRAP | WS_GROUP, kLblNetAddress,
          {180, 540, 1500, 285}, false, network_);
  txtNetAddress_ = Control(L"EDIT", L"", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP,
                           kTxtNetAddress, {1740, 495, 1680, 300}, false, network_);
  Control(L"STATIC", L"Universe:", SS_NOPREFIX | SS_LEFTNOWORDWRAP | WS_GROUP, kLblNetUniverse,
          {180, 915, 1500, 285}, false, network_);
  txtNetUniverse_ = Control(L"EDIT", L"", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP,
                            kTxtNetUniverse, {1740, 870, 840, 300}, false, network_);
  Control(L"BUTTON", L"Find nodes", BS_PUSHBUTTON | WS_TABSTOP, kCmdFindNodes,
          {180, 1290, 1200, 360}, false, network_);
  Control(L"BUTTON", L"Close", BS_PUSHBUTTON | WS_TABSTOP, kCmdNetworkClose,
          {2220, 1290, 1200, 360}, false, network_);
  lstNodes_ = Control(L"LISTBOX", L"",
                      WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                      kLstNodes, {180, 1770, 3240, 780}, false, network_);
  CheckRadioButton(network_, kOptArtNet, kOptSacn, kOptArtNet);
}

void Win32DeviceDialog::Window::PresentNetwork() {
  if (!networkPlaced_) {
    // Beside the dialog, over its right half.
    RECT dialog{};
    GetWindowRect(window_, &dialog);
    SetWindowPos(network_, nullptr, (dialog.left + dialog.right) / 2,
                 dialog.top + (dialog.bottom - dialog.top) / 4, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    networkPlaced_ = true;
  }
  ShowWindow(network_, SW_SHOWNORMAL);
  SetForegroundWindow(network_);
  SetFocus(txtNetAddress_);
}

HWND Win32DeviceDialog::Window::Control(const wchar_t* kind, const wchar_t* text, DWORD style,
                                        int id, Twips at, bool inFrame, HWND parent) {
  const int left = at.left + (inFrame ? kFrame1Box.left : 0);
  const int top = at.top + (inFrame ? kFrame1Box.top : 0);
  HWND control = CreateWindowExW(
      std::wstring_view(kind) == L"EDIT" || std::wstring_view(kind) == L"LISTBOX" ? WS_EX_CLIENTEDGE
                                                                                  : 0,
      kind, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, Pixels(left, true),
      Pixels(top, false), Pixels(at.width, true), Pixels(at.height, false),
      parent != nullptr ? parent : window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      ThisModule(), nullptr);
  if (control == nullptr) throw Failure(ErrorNumber::kNoDisplay, "control");
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont_), FALSE);
  return control;
}

void Win32DeviceDialog::Window::ExcludeOverlap(HWND control, HWND over) {
  RECT a{}, b{}, both{};
  GetWindowRect(control, &a);
  GetWindowRect(over, &b);
  if (!IntersectRect(&both, &a, &b)) return;
  HRGN region = CreateRectRgn(0, 0, a.right - a.left, a.bottom - a.top);
  HRGN cut =
      CreateRectRgn(both.left - a.left, both.top - a.top, both.right - a.left, both.bottom - a.top);
  CombineRgn(region, region, cut, RGN_DIFF);
  DeleteObject(cut);
  SetWindowRgn(control, region, FALSE);  // the window owns the region now
}

void Win32DeviceDialog::Window::WidenList(const std::wstring& entry) {
  HDC dc = GetDC(devList_);
  if (dc == nullptr) return;
  const HGDIOBJ old = SelectObject(dc, dialogFont_);
  SIZE size{};
  GetTextExtentPoint32W(dc, entry.c_str(), static_cast<int>(entry.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(devList_, dc);
  // The list draws its entries a few pixels in from the edge.
  const int width = size.cx + 2 * GetSystemMetrics(SM_CXEDGE) + 2;
  if (width <= listExtent_) return;
  listExtent_ = width;
  SendMessageW(devList_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
}

void Win32DeviceDialog::Window::AddListTip(HINSTANCE module) {
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  listTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, module, nullptr);
  if (listTip_ == nullptr) return;  // the list still scrolls
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V1_SIZE;  // understood by every version of the controls
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(devList_);
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  SendMessageW(listTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SetWindowSubclass(devList_, ListProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
}

// Follows the pointer from row to row, so the tip shows the row it is on.
LRESULT CALLBACK Win32DeviceDialog::Window::ListProcedure(HWND list, UINT message, WPARAM w,
                                                          LPARAM l, UINT_PTR, DWORD_PTR self) {
  auto& window = *reinterpret_cast<Window*>(self);
  if (message == WM_MOUSEMOVE) {
    const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, l);
    const int row = HIWORD(hit) == 0 ? static_cast<int>(LOWORD(hit)) : -1;
    if (row != window.tipRow_) {
      window.tipRow_ = row;
      SendMessageW(window.listTip_, TTM_POP, 0, 0);  // asks for the new row's text
    }
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(list, ListProcedure, 0);
  }
  return DefSubclassProc(list, message, w, l);
}

void Win32DeviceDialog::Window::GiveListTipText(NMTTDISPINFOW& request) {
  tipText_.clear();
  const LRESULT length = tipRow_ < 0 ? LB_ERR : SendMessageW(devList_, LB_GETTEXTLEN, tipRow_, 0);
  if (length != LB_ERR) {
    tipText_.assign(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(devList_, LB_GETTEXT, tipRow_, reinterpret_cast<LPARAM>(tipText_.data()));
    tipText_.resize(static_cast<size_t>(length));
  }
  // An empty text shows no tip: off the rows there is none.
  request.lpszText = tipText_.data();
}

void Win32DeviceDialog::Window::Present() {
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
  BringWindowToTop(window_);
  SetFocus(GetDlgItem(window_, kOk));
}

void Win32DeviceDialog::Window::Destroy() {
  if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  hook_ = nullptr;
  if (tHooked == this) tHooked = nullptr;
  if (window_ != nullptr) DestroyWindow(window_);
  if (owner_ != nullptr) DestroyWindow(owner_);
  window_ = owner_ = nullptr;
  if (dialogFont_ != nullptr) DeleteObject(dialogFont_);
  if (infoFont_ != nullptr) DeleteObject(infoFont_);
  dialogFont_ = infoFont_ = nullptr;
}

LRESULT CALLBACK Win32DeviceDialog::Window::KeyboardHook(int code, WPARAM w, LPARAM l) {
  auto* message = reinterpret_cast<MSG*>(l);
  Window* self = tHooked;
  if (code >= 0 && w == PM_REMOVE && self != nullptr && self->window_ != nullptr &&
      message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST) {
    for (HWND window : {self->window_, self->network_}) {
      if (window != nullptr && (message->hwnd == window || IsChild(window, message->hwnd)) &&
          IsDialogMessageW(window, message)) {
        message->message = WM_NULL;  // handled: the host's loop dispatches nothing
        break;
      }
    }
  }
  return CallNextHookEx(nullptr, code, w, l);
}

LRESULT CALLBACK Win32DeviceDialog::Window::Procedure(HWND window, UINT message, WPARAM w,
                                                      LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(l);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr && window == self->window_) return self->Handle(message, w, l);
  if (self != nullptr && window == self->network_) return self->HandleNetwork(message, w, l);
  return DefWindowProcW(window, message, w, l);
}

LRESULT Win32DeviceDialog::Window::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case DM_GETDEFID:
      return MAKELRESULT(kOk, DC_HASDEFID);
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(l);
      if (header->hwndFrom == listTip_ && header->code == TTN_GETDISPINFOW) {
        GiveListTipText(*reinterpret_cast<NMTTDISPINFOW*>(l));
      }
      return 0;
    }
    case WM_COMMAND:
      if (HIWORD(w) == BN_CLICKED) {
        switch (LOWORD(w)) {
          case kOk:
            Run(&DeviceForm::cmdOK_Click);
            return 0;
          case kCmdTest:
            Run(&DeviceForm::cmdTest_Click);
            return 0;
          case kOptPro:
            Run(&DeviceForm::optDMXUSBpro_Click);
            return 0;
          case kCmdNetwork:
            PresentNetwork();
            return 0;
        }
      }
      return 0;
    case WM_CLOSE:
      // Unloads the dialog: the window goes, the object at the next Show.
      if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
      hook_ = nullptr;
      DestroyWindow(window_);
      return 0;
    case WM_NCDESTROY: {
      HWND window = std::exchange(window_, nullptr);
      if (owner_ != nullptr) DestroyWindow(std::exchange(owner_, nullptr));
      return DefWindowProcW(window, message, w, l);
    }
    default:
      return DefWindowProcW(window_, message, w, l);
  }
}

LRESULT Win32DeviceDialog::Window::HandleNetwork(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(w) == BN_CLICKED && LOWORD(w) == kCmdFindNodes) {
        Run(&DeviceForm::cmdFindNodes_Click);
      } else if (HIWORD(w) == BN_CLICKED &&
                 (LOWORD(w) == kCmdNetworkClose || LOWORD(w) == IDCANCEL)) {
        ShowWindow(network_, SW_HIDE);
      } else if (HIWORD(w) == LBN_SELCHANGE && LOWORD(w) == kLstNodes) {
        Run(&DeviceForm::lstNodes_Click);
      }
      return 0;
    case WM_CLOSE:
      // Only hidden: what it holds stays for the dialog's OK.
      ShowWindow(network_, SW_HIDE);
      return 0;
    case WM_NCDESTROY: {
      HWND window = std::exchange(network_, nullptr);
      return DefWindowProcW(window, message, w, l);
    }
    default:
      return DefWindowProcW(network_, message, w, l);
  }
}

template <class Handler>
void Win32DeviceDialog::Window::Run(Handler handler) {
  try {
    (form_.*handler)();
  } catch (const std::exception& failure) {
    reports_.ShowMessage(failure.what());
  } catch (...) {
    reports_.ShowMessage(DescribeError(ErrorNumber::kInternal));
  }
}

Win32DeviceDialog::Win32DeviceDialog(DeviceFormServices services) : services_(services) {}
Win32DeviceDialog::~Win32DeviceDialog() = default;

void Win32DeviceDialog::Show() {
  if (window_ && !window_->alive()) window_.reset();  // closed by the user
  if (!window_) {
    auto window = std::make_unique<Window>(services_);
    window->Create();
    // A failing load step fails the call and leaves no dialog behind.
    window->Load();
    window_ = std::move(window);
  }
  window_->Present();
}

bool Win32DeviceDialog::IsLoaded() const {
  return window_ && window_->alive();
}

}  // namespace lumivane
