// SPDX-License-Identifier: MIT
// A host with a message loop of its own, as the real host has: creates the
// class by ProgID, calls init and Configure, then runs its loop until the
// dialog is closed (or 60 s pass). It reports on standard output what a
// test driving the dialog from outside (xdotool) needs to know:
//   client <w> <h>           the dialog's client area in pixels
//   control <caption> <x> <y> the screen centre of each button and the box,
//                             and of the network window's once it shows
//   info|result|list <text>   each change of the info line, the result
//                             line and the count of list entries
//   entry <i> <text>          each new list entry, counted from 0
//   listbox <x> <top> <row height> <width> <scroll width>
//                             the list's client area on the screen, the
//                             width its entries scroll over, on each change
//   tip <text>                each change of the tooltip shown
//   box <text>                a message box of ours, while it waits
// Arguments: ProgID, application title.
#include <lumivane_idl.h>
#include <ole2.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr const wchar_t* kCaption = L"Choose DMX interface device";

std::string Utf8(const std::wstring& text) {
  std::string out(static_cast<size_t>(text.size() * 3 + 1), '\0');
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                    out.data(), static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(static_cast<size_t>(n > 0 ? n : 0));
  return out;
}

std::wstring Text(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

struct Seen {
  std::wstring info, result, box, tip, listbox;
  LRESULT list = -1;
  bool reported = false;
  bool networkReported = false;
} gSeen;

HWND Child(HWND dialog, const wchar_t* kind, int index) {
  HWND child = nullptr;
  for (int i = 0; i <= index; ++i) child = FindWindowExW(dialog, child, kind, nullptr);
  return child;
}

void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = FindWindowW(nullptr, kCaption);
  if (dialog == nullptr) return;
  if (!gSeen.reported) {
    gSeen.reported = true;
    RECT client{};
    GetClientRect(dialog, &client);
    std::printf("client %ld %ld\n", client.right, client.bottom);
    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
      wchar_t kind[32] = {};
      GetClassNameW(c, kind, 32);
      RECT r{};
      GetWindowRect(c, &r);
      std::wstring caption = Text(c);
      if (std::wstring(kind) == L"Edit") caption = L"txtCommPort";
      if (std::wstring(kind) == L"ListBox") caption = L"devList";
      for (auto& ch : caption) ch = ch == L' ' ? L'_' : ch;
      std::printf("control %s %ld %ld\n", Utf8(caption).c_str(), (r.left + r.right) / 2,
                  (r.top + r.bottom) / 2);
    }
  }
  // The network output's window, once its button showed it: its controls,
  // the two boxes by their order (address, universe).
  HWND network = FindWindowW(nullptr, L"Network output");
  if (network != nullptr && IsWindowVisible(network) && !gSeen.networkReported) {
    gSeen.networkReported = true;
    int edits = 0;
    for (HWND c = GetWindow(network, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
      wchar_t kind[32] = {};
      GetClassNameW(c, kind, 32);
      RECT r{};
      GetWindowRect(c, &r);
      std::wstring caption = Text(c);
      if (std::wstring(kind) == L"Edit")
        caption = edits++ == 0 ? L"txtNetAddress" : L"txtNetUniverse";
      if (std::wstring(kind) == L"ListBox") caption = L"lstNodes";
      for (auto& ch : caption) ch = ch == L' ' ? L'_' : ch;
      std::printf("control %s %ld %ld\n", Utf8(caption).c_str(), (r.left + r.right) / 2,
                  (r.top + r.bottom) / 2);
    }
  }
  // The statics in creation order: Label1, lblinfo, lblResult.
  const std::wstring info = Text(Child(dialog, L"Static", 1));
  const std::wstring result = Text(Child(dialog, L"Static", 2));
  const LRESULT list = SendMessageW(Child(dialog, L"ListBox", 0), LB_GETCOUNT, 0, 0);
  if (info != gSeen.info) std::printf("info %s\n", Utf8(gSeen.info = info).c_str());
  if (result != gSeen.result) std::printf("result %s\n", Utf8(gSeen.result = result).c_str());
  HWND listBox = Child(dialog, L"ListBox", 0);
  for (LRESULT i = gSeen.list < 0 ? 0 : gSeen.list; i < list; ++i) {
    wchar_t entry[256] = {};
    if (SendMessageW(listBox, LB_GETTEXTLEN, i, 0) < 256) {
      SendMessageW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(entry));
    }
    std::printf("entry %ld %s\n", static_cast<long>(i), Utf8(entry).c_str());
  }
  if (list != gSeen.list) std::printf("list %ld\n", static_cast<long>(gSeen.list = list));
  RECT client{};
  GetClientRect(listBox, &client);
  POINT corner{0, 0};
  ClientToScreen(listBox, &corner);
  const std::wstring listbox = std::to_wstring(corner.x) + L" " + std::to_wstring(corner.y) + L" " +
                               std::to_wstring(SendMessageW(listBox, LB_GETITEMHEIGHT, 0, 0)) +
                               L" " + std::to_wstring(client.right) + L" " +
                               std::to_wstring(SendMessageW(listBox, LB_GETHORIZONTALEXTENT, 0, 0));
  if (listbox != gSeen.listbox) std::printf("listbox %s\n", Utf8(gSeen.listbox = listbox).c_str());
  std::wstring tip;
  for (HWND t = FindWindowExW(nullptr, nullptr, L"tooltips_class32", nullptr); t != nullptr;
       t = FindWindowExW(nullptr, t, L"tooltips_class32", nullptr)) {
    if (IsWindowVisible(t)) tip = Text(t);
  }
  if (tip != gSeen.tip && !tip.empty()) std::printf("tip %s\n", Utf8(tip).c_str());
  gSeen.tip = tip;
  HWND box = FindWindowW(L"#32770", L"Lumivane DMX Pro Driver");
  const std::wstring boxText = box ? Text(GetDlgItem(box, 0xFFFF)) : L"";
  if (boxText != gSeen.box && !boxText.empty()) std::printf("box %s\n", Utf8(boxText).c_str());
  gSeen.box = boxText;
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: dialog_host PROGID TITLE\n");
    return 2;
  }
  CoInitialize(nullptr);
  CLSID clsid{};
  _clsOutputDriver* driver = nullptr;
  if (FAILED(CLSIDFromProgID(argv[1], &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__clsOutputDriver,
                              reinterpret_cast<void**>(&driver)))) {
    std::printf("cannot create %s\n", Utf8(argv[1]).c_str());
    return 1;
  }
  BSTR title = SysAllocString(argv[2]), file = SysAllocString(L"Lumivane.dll");
  IDispatch* helper = nullptr;
  VARIANT_BOOL result = 0;
  driver->init(&title, &file, &helper, &result);
  SetTimer(nullptr, 0, 50, Watch);
  const HRESULT hr = driver->Configure(&result);
  std::printf("configure %08lX %d\n", static_cast<unsigned long>(hr), result);
  std::fflush(stdout);

  const ULONGLONG end = GetTickCount64() + 60000;
  MSG message;
  while (GetTickCount64() < end) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (SUCCEEDED(hr) && FindWindowW(nullptr, kCaption) == nullptr) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  Watch(nullptr, 0, 0, 0);
  std::printf("closed\n");
  driver->Term(&result);
  driver->Release();
  SysFreeString(title);
  SysFreeString(file);
  CoUninitialize();
  return 0;
}
