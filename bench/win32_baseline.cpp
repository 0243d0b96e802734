// The plain Win32 windows kelvane.exe is measured against under Wine: one CJK label (start-up),
// five edit boxes filled with given texts (button 1), and the third text placed on the clipboard
// as UTF-16 and GBK (button 2). Usage: kelvane_win32_baseline [FILE...]  (UTF-8, up to five)
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> g_texts;
HWND g_edits[5];

std::wstring Wide(const std::string& utf8) {
  std::wstring out(utf8.size() + 1, L'\0');
  out.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                          out.data(), static_cast<int>(out.size()))));
  return out;
}

void Place(UINT format, const void* data, std::size_t size) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  memcpy(GlobalLock(memory), data, size);
  GlobalUnlock(memory);
  SetClipboardData(format, memory);
}

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == 1) {
    for (std::size_t i = 0; i < 5 && i < g_texts.size(); ++i) SetWindowTextW(g_edits[i], g_texts[i].c_str());
    ShowWindow(g_edits[0], SW_SHOW);
    ShowWindow(g_edits[1], SW_SHOW);
  }
  if (message == WM_COMMAND && LOWORD(wParam) == 2 && g_texts.size() > 2 && OpenClipboard(hwnd)) {
    const std::wstring& text = g_texts[2];
    EmptyClipboard();
    Place(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    const int n = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string gbk(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, gbk.data(), n, nullptr, nullptr);
    Place(CF_TEXT, gbk.data(), gbk.size());
    const LCID locale = 0x0804;
    Place(CF_LOCALE, &locale, sizeof locale);
    CloseClipboard();
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  for (int i = 1; i < __argc; ++i) {
    std::ifstream file(__wargv[i], std::ios::binary);
    g_texts.push_back(Wide(std::string(std::istreambuf_iterator<char>(file), {})));
  }
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = Proc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = L"Baseline";
  RegisterClassW(&windowClass);
  HWND main = CreateWindowW(L"Baseline", L"Kelvane baseline", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 50, 50,
                            800, 500, nullptr, nullptr, instance, nullptr);
  HFONT font = CreateFontW(-16, 0, 0, 0, 400, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, L"微软雅黑");
  HWND label = CreateWindowW(L"STATIC", L"第一步：连接数据库", WS_CHILD | WS_VISIBLE, 10, 10, 300, 30, main, nullptr,
                             instance, nullptr);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // The panes' widths, so that wrapping costs the same; like kelvane.exe's panes they are
  // hidden while being filled (the window shows them on the next page).
  const int widths[5] = {280, 440, 750, 350, 350};
  for (int i = 0; i < 5; ++i) {
    g_edits[i] = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                 WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL, 10, 50,
                                 widths[i], 310, main, nullptr, instance, nullptr);
    SendMessageW(g_edits[i], EM_SETLIMITTEXT, 0, 0);
  }
  CreateWindowW(L"BUTTON", L"fill", WS_CHILD | WS_VISIBLE, 10, 400, 80, 24, main, reinterpret_cast<HMENU>(1), instance, nullptr);
  CreateWindowW(L"BUTTON", L"clip", WS_CHILD | WS_VISIBLE, 100, 400, 80, 24, main, reinterpret_cast<HMENU>(2), instance, nullptr);
  ShowWindow(main, show);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
