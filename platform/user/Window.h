// Windows: classes, creation and destruction, styles, placement, parenting, text and the
// per-window procedure. Everything runs on the program's one thread.
#pragma once

#include <string>

#include "platform/kernel/WinTypes.h"
#include "platform/user/Messages.h"

using LONG_PTR = intptr_t;
using ATOM = WORD;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using HMENU = void*;
using HICON = void*;

// Window styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_CAPTION = WS_BORDER | WS_DLGFRAME;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

constexpr int32_t CW_USEDEFAULT = static_cast<int32_t>(0x80000000);

// Window class record.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int32_t cbClsExtra;
  int32_t cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
};

// Handed to WM_NCCREATE and WM_CREATE in lParam.
struct CREATESTRUCTA {
  void* lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int32_t cy;
  int32_t cx;
  int32_t y;
  int32_t x;
  LONG style;
  const char* lpszName;
  const char* lpszClass;
  DWORD dwExStyle;
};

// Handed to WM_WINDOWPOSCHANGING and WM_WINDOWPOSCHANGED in lParam.
struct WINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int32_t x;
  int32_t y;
  int32_t cx;
  int32_t cy;
  UINT flags;
};

// Registered names are compared without regard to case. Returns 0 when the name is taken or
// the record is incomplete.
ATOM RegisterClassA(const WNDCLASSA* windowClass);
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
BOOL GetClassInfoA(HINSTANCE instance, const char* className, WNDCLASSA* windowClass);

// Sends WM_NCCREATE, WM_CREATE (with a CREATESTRUCTA), WM_SIZE and WM_MOVE, then shows the window
// when WS_VISIBLE is given. Without WS_CHILD a parent handle makes the new window owned by it.
// Null when the class is unknown, the parent is not a window, or WM_NCCREATE answers FALSE or
// WM_CREATE answers -1.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int32_t x, int32_t y, int32_t width, int32_t height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param);
// Destroys owned windows first, then sends WM_DESTROY to the window and its children (parents
// first) and WM_NCDESTROY (children first). The handle is invalid afterwards.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam);

// Window longs.
constexpr int32_t GWL_WNDPROC = -4;
constexpr int32_t GWL_HINSTANCE = -6;
constexpr int32_t GWL_HWNDPARENT = -8;
constexpr int32_t GWL_ID = -12;
constexpr int32_t GWL_STYLE = -16;
constexpr int32_t GWL_EXSTYLE = -20;
constexpr int32_t GWL_USERDATA = -21;
constexpr int32_t GWLP_WNDPROC = GWL_WNDPROC;
constexpr int32_t GWLP_HINSTANCE = GWL_HINSTANCE;
constexpr int32_t GWLP_HWNDPARENT = GWL_HWNDPARENT;
constexpr int32_t GWLP_ID = GWL_ID;
constexpr int32_t GWLP_USERDATA = GWL_USERDATA;

// Pointer-sized slots (procedure, instance, owner, user data) need the Ptr variants; the plain
// ones serve styles and identifiers. Both return the previous value, 0 on a bad handle or
// index (with the last error set).
LONG_PTR GetWindowLongPtrA(HWND window, int32_t index);
LONG_PTR SetWindowLongPtrA(HWND window, int32_t index, LONG_PTR value);
LONG GetWindowLongA(HWND window, int32_t index);
LONG SetWindowLongA(HWND window, int32_t index, LONG value);

// Showing.
constexpr int32_t SW_HIDE = 0;
constexpr int32_t SW_SHOWNORMAL = 1;
constexpr int32_t SW_NORMAL = 1;
constexpr int32_t SW_SHOWMINIMIZED = 2;
constexpr int32_t SW_SHOWMAXIMIZED = 3;
constexpr int32_t SW_MAXIMIZE = 3;
constexpr int32_t SW_SHOWNOACTIVATE = 4;
constexpr int32_t SW_SHOW = 5;
constexpr int32_t SW_MINIMIZE = 6;
constexpr int32_t SW_SHOWMINNOACTIVE = 7;
constexpr int32_t SW_SHOWNA = 8;
constexpr int32_t SW_RESTORE = 9;
constexpr int32_t SW_SHOWDEFAULT = 10;

// Returns whether the window was visible before. Showing sends WM_SHOWWINDOW, then
// WM_WINDOWPOSCHANGED with SWP_SHOWWINDOW (SWP_HIDEWINDOW when hiding); a top-level window
// shown with an activating command is activated.
BOOL ShowWindow(HWND window, int32_t command);
BOOL IsWindowVisible(HWND window);  // the window and all its parents are visible
BOOL IsIconic(HWND window);
BOOL IsZoomed(HWND window);
BOOL EnableWindow(HWND window, BOOL enable);  // returns whether it was disabled before
BOOL IsWindowEnabled(HWND window);

// Placement. Positions of child windows are in their parent's client coordinates, those of
// top-level windows in screen coordinates.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;

inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(intptr_t{1});
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(intptr_t{-1});
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(intptr_t{-2});

// Sends WM_WINDOWPOSCHANGING and WM_WINDOWPOSCHANGED (whose default handling sends WM_MOVE and
// WM_SIZE); with SWP_SHOWWINDOW or SWP_HIDEWINDOW it also shows or hides.
BOOL SetWindowPos(HWND window, HWND insertAfter, int32_t x, int32_t y, int32_t width,
                  int32_t height, UINT flags);
BOOL MoveWindow(HWND window, int32_t x, int32_t y, int32_t width, int32_t height, BOOL repaint);
BOOL GetWindowRect(HWND window, RECT* rect);  // screen coordinates
BOOL GetClientRect(HWND window, RECT* rect);  // origin 0, 0
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
// The window rectangle that gives the client rectangle for a window of these styles.
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);

// Family.
constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_OWNER = 4;
constexpr UINT GW_CHILD = 5;

HWND GetParent(HWND window);  // the parent of a child window, the owner of a top-level one
HWND SetParent(HWND child, HWND newParent);  // returns the previous parent
BOOL IsChild(HWND parent, HWND window);  // any depth
HWND GetWindow(HWND window, UINT relation);
HWND GetDesktopWindow();
// The deepest visible, enabled window under a screen point (top-level windows in z order).
HWND WindowFromPoint(POINT point);

// Text.
BOOL SetWindowTextA(HWND window, const char* text);
int32_t GetWindowTextA(HWND window, char* buffer, int32_t bufferSize);
int32_t GetWindowTextLengthA(HWND window);

// Painting: the update region is kept as a bounding rectangle. A window with one gets WM_PAINT
// when its queue is otherwise empty; validating it stops that.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND window);  // sends WM_PAINT at once when there is something to paint

// Screen metrics follow the current display mode (see ScreenSetMode).
constexpr int32_t SM_CXSCREEN = 0;
constexpr int32_t SM_CYSCREEN = 1;
int32_t GetSystemMetrics(int32_t index);
