#include "platform/user/Window.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/kernel/LastError.h"
#include "platform/user/Cursor.h"
#include "platform/user/Focus.h"
#include "platform/user/HostInput.h"
#include "platform/user/Keyboard.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/Screen.h"
#include "platform/user/UserTestControl.h"
#include "platform/user/WindowSystem.h"

namespace {

constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_CLASS_DOES_NOT_EXIST = 1411;
constexpr DWORD ERROR_CLASS_HAS_WINDOWS = 1412;
constexpr DWORD ERROR_INVALID_INDEX = 1413;

constexpr int32_t kDefaultWidth = 640;
constexpr int32_t kDefaultHeight = 480;

struct RegisteredClass {
  WNDCLASSA record{};
  std::string name;
};

std::string Lowered(const char* text) {
  std::string result = text ? text : "";
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

std::map<std::string, RegisteredClass>& Classes() {
  static std::map<std::string, RegisteredClass> classes;
  return classes;
}

// Keyed by handle value; handles are handed out in increasing order, so this is creation order.
std::map<uintptr_t, std::unique_ptr<WindowRecord>>& Windows() {
  static std::map<uintptr_t, std::unique_ptr<WindowRecord>> windows;
  return windows;
}

std::vector<HWND>& TopLevelList() {
  static std::vector<HWND> list;
  return list;
}

HWND NextHandle() {
  static uintptr_t counter = 0;
  counter += 0x10;
  return reinterpret_cast<HWND>(0x10000 + counter);
}

// The width of the non-client frame on each side, for a window of these styles.
RECT FrameInsets(DWORD style, DWORD exStyle) {
  int32_t border = 0;
  if (style & WS_THICKFRAME)
    border = 4;
  else if (style & WS_DLGFRAME)
    border = 3;
  else if (style & WS_BORDER)
    border = 1;
  if (exStyle & WS_EX_CLIENTEDGE) border += 2;
  const int32_t caption = (style & WS_CAPTION) == WS_CAPTION ? 19 : 0;
  return RECT{border, border + caption, border, border};
}

int32_t Width(const RECT& r) { return r.right - r.left; }
int32_t Height(const RECT& r) { return r.bottom - r.top; }

std::vector<HWND>& SiblingList(const WindowRecord& record) {
  if (record.parent) return FindWindowRecord(record.parent)->children;
  return TopLevelList();
}

void Unlink(const WindowRecord& record) {
  std::vector<HWND>& siblings = SiblingList(record);
  siblings.erase(std::remove(siblings.begin(), siblings.end(), record.handle), siblings.end());
}

bool IsTopmost(HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  return record && (record->exStyle & WS_EX_TOPMOST);
}

// Front of the list, but behind topmost windows unless it is one itself.
void LinkAtTop(WindowRecord& record) {
  std::vector<HWND>& siblings = SiblingList(record);
  auto position = siblings.begin();
  if (!record.parent && !(record.exStyle & WS_EX_TOPMOST))
    while (position != siblings.end() && IsTopmost(*position)) ++position;
  siblings.insert(position, record.handle);
}

void ApplyZOrder(WindowRecord& record, HWND insertAfter) {
  Unlink(record);
  std::vector<HWND>& siblings = SiblingList(record);
  if (insertAfter == HWND_TOPMOST && !record.parent) {
    record.exStyle |= WS_EX_TOPMOST;
  } else if (insertAfter == HWND_NOTOPMOST && !record.parent) {
    record.exStyle &= ~WS_EX_TOPMOST;
  } else if (insertAfter == HWND_BOTTOM) {
    siblings.push_back(record.handle);
    return;
  } else if (insertAfter != HWND_TOP) {
    auto position = std::find(siblings.begin(), siblings.end(), insertAfter);
    if (position != siblings.end()) {
      siblings.insert(position + 1, record.handle);
      return;
    }
  }
  LinkAtTop(record);
}

RECT ScreenRectOf(const WindowRecord& record);

POINT ClientOriginOnScreen(const WindowRecord& record) {
  const RECT screen = ScreenRectOf(record);
  const RECT insets = FrameInsets(record.style, record.exStyle);
  return POINT{screen.left + insets.left, screen.top + insets.top};
}

RECT ScreenRectOf(const WindowRecord& record) {
  if (!record.parent) return record.rect;
  const POINT origin = ClientOriginOnScreen(*FindWindowRecord(record.parent));
  return RECT{record.rect.left + origin.x, record.rect.top + origin.y,
              record.rect.right + origin.x, record.rect.bottom + origin.y};
}

RECT ClientRectOf(const WindowRecord& record) {
  const RECT insets = FrameInsets(record.style, record.exStyle);
  return RECT{0, 0, std::max(0, Width(record.rect) - insets.left - insets.right),
              std::max(0, Height(record.rect) - insets.top - insets.bottom)};
}

// The area a maximized window fills: the screen, or its parent's client area.
RECT MaximizedRect(const WindowRecord& record) {
  if (record.parent) return ClientRectOf(*FindWindowRecord(record.parent));
  int32_t width = 0;
  int32_t height = 0;
  ScreenMode(&width, &height);
  return RECT{0, 0, width, height};
}

void CollectSubtree(HWND window, std::vector<HWND>& out) {
  out.push_back(window);
  if (const WindowRecord* record = FindWindowRecord(window))
    for (HWND child : std::vector<HWND>(record->children)) CollectSubtree(child, out);
}

void Erase(HWND window) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record) return;
  for (HWND leftover : std::vector<HWND>(record->children)) Erase(leftover);
  Unlink(*record);
  Windows().erase(reinterpret_cast<uintptr_t>(window));
}

HWND ChildFromPoint(HWND window, POINT screenPoint) {
  const WindowRecord* record = FindWindowRecord(window);
  for (HWND child : record->children) {
    const WindowRecord* childRecord = FindWindowRecord(child);
    if (!(childRecord->style & WS_VISIBLE)) continue;
    const RECT r = ScreenRectOf(*childRecord);
    if (screenPoint.x >= r.left && screenPoint.x < r.right && screenPoint.y >= r.top &&
        screenPoint.y < r.bottom)
      return ChildFromPoint(child, screenPoint);
  }
  return window;
}

bool ActivatingShow(int32_t command) {
  return command != SW_SHOWNOACTIVATE && command != SW_SHOWNA && command != SW_SHOWMINNOACTIVE &&
         command != SW_MINIMIZE;
}

}  // namespace

WindowRecord* FindWindowRecord(HWND window) {
  auto found = Windows().find(reinterpret_cast<uintptr_t>(window));
  if (found == Windows().end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return found->second.get();
}

std::vector<HWND> AllWindows() {
  std::vector<HWND> result;
  for (const auto& entry : Windows()) result.push_back(entry.second->handle);
  return result;
}

const std::vector<HWND>& TopLevelWindows() { return TopLevelList(); }

bool IsTopLevel(const WindowRecord& record) { return record.parent == nullptr; }

HWND TopLevelOf(HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  while (record && record->parent) record = FindWindowRecord(record->parent);
  return record ? record->handle : nullptr;
}

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (!windowClass || !windowClass->lpszClassName || !*windowClass->lpszClassName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string key = Lowered(windowClass->lpszClassName);
  if (Classes().count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  static ATOM nextAtom = 0xC000;
  RegisteredClass& entry = Classes()[key];
  entry.record = *windowClass;
  entry.name = windowClass->lpszClassName;
  entry.record.lpszClassName = entry.name.c_str();
  entry.record.lpszMenuName = nullptr;
  return nextAtom++;
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
  auto found = Classes().find(Lowered(className));
  if (found == Classes().end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  for (const auto& entry : Windows())
    if (Lowered(entry.second->className.c_str()) == found->first) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
  Classes().erase(found);
  return TRUE;
}

BOOL GetClassInfoA(HINSTANCE, const char* className, WNDCLASSA* windowClass) {
  auto found = Classes().find(Lowered(className));
  if (found == Classes().end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (windowClass) *windowClass = found->second.record;
  return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int32_t x, int32_t y, int32_t width, int32_t height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param) {
  auto found = Classes().find(Lowered(className));
  if (found == Classes().end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return nullptr;
  }
  if (parent && !FindWindowRecord(parent)) return nullptr;
  if ((style & WS_CHILD) && !parent) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) {
    width = kDefaultWidth;
    height = kDefaultHeight;
  }

  auto record = std::make_unique<WindowRecord>();
  record->handle = NextHandle();
  record->className = found->second.name;
  record->procedure = found->second.record.lpfnWndProc;
  record->classCursor = found->second.record.hCursor;
  record->instance = instance;
  // Visibility comes with the show at the end, so that it sends its messages.
  record->style = style & ~WS_VISIBLE;
  record->exStyle = exStyle;
  if (style & WS_CHILD)
    record->parent = parent;
  else
    record->owner = parent;
  record->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
  record->normalRect = record->rect;
  record->text = windowName ? windowName : "";
  record->id = reinterpret_cast<LONG_PTR>(menu);
  HWND window = record->handle;
  WindowRecord& stored = *record;
  Windows().emplace(reinterpret_cast<uintptr_t>(window), std::move(record));
  LinkAtTop(stored);

  CREATESTRUCTA create{param, instance, menu, parent, height, width, y, x,
                       static_cast<LONG>(style), windowName, found->second.name.c_str(), exStyle};
  if (!SendMessageA(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) ||
      SendMessageA(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(window);
    return nullptr;
  }
  const WindowRecord* created = FindWindowRecord(window);
  if (!created) return nullptr;  // destroyed by its own creation handlers
  const RECT client = ClientRectOf(*created);
  SendMessageA(window, WM_SIZE, SIZE_RESTORED,
               MAKELPARAM(static_cast<WORD>(Width(client)), static_cast<WORD>(Height(client))));
  SendMessageA(window, WM_MOVE, 0,
               MAKELPARAM(static_cast<WORD>(created->rect.left), static_cast<WORD>(created->rect.top)));
  if (style & WS_VISIBLE) ShowWindow(window, SW_SHOW);
  return IsWindow(window) ? window : nullptr;
}

BOOL DestroyWindow(HWND window) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record || record->destroying) return FALSE;

  for (HWND owned : std::vector<HWND>(TopLevelList()))
    if (const WindowRecord* ownedRecord = FindWindowRecord(owned); ownedRecord &&
                                                                   ownedRecord->owner == window)
      DestroyWindow(owned);

  if (IsWindow(window) && (FindWindowRecord(window)->style & WS_VISIBLE))
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (!IsWindow(window)) return TRUE;

  std::vector<HWND> subtree;
  CollectSubtree(window, subtree);
  for (HWND member : subtree) {
    FindWindowRecord(member)->destroying = true;
    WindowLeaving(member);
  }
  for (HWND member : subtree)
    if (IsWindow(member)) SendMessageA(member, WM_DESTROY, 0, 0);
  for (auto member = subtree.rbegin(); member != subtree.rend(); ++member)
    if (IsWindow(*member)) {
      SendMessageA(*member, WM_NCDESTROY, 0, 0);
      Erase(*member);
    }
  return TRUE;
}

BOOL IsWindow(HWND window) {
  return Windows().count(reinterpret_cast<uintptr_t>(window)) ? TRUE : FALSE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record) return 0;
  switch (message) {
    case WM_NCCREATE:
    case WM_NCACTIVATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          SendMessageA(window, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE:
          ShowWindow(window, SW_MINIMIZE);
          break;
        case SC_MAXIMIZE:
          ShowWindow(window, SW_MAXIMIZE);
          break;
        case SC_RESTORE:
          ShowWindow(window, SW_RESTORE);
          break;
      }
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4)
        SendMessageA(TopLevelOf(window), WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_PAINT:
      ValidateRect(window, nullptr);
      return 0;
    case WM_ERASEBKGND:
      // Windows have no pixels of their own here (the display shows DirectDraw's primary
      // surface), so there is nothing to erase and the background counts as done.
      return 1;
    case WM_SETTEXT:
      record->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      return TRUE;
    case WM_SETCURSOR:
      if (record->parent && SendMessageA(record->parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
      if (LOWORD(static_cast<uintptr_t>(lParam)) == HTCLIENT && record->classCursor)
        SetCursor(record->classCursor);
      return FALSE;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !(record->style & WS_MINIMIZE)) SetFocus(window);
      return 0;
    case WM_WINDOWPOSCHANGED: {
      const auto* position = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (!(position->flags & SWP_NOMOVE))
        SendMessageA(window, WM_MOVE, 0,
                     MAKELPARAM(static_cast<WORD>(record->rect.left),
                                static_cast<WORD>(record->rect.top)));
      if (!(position->flags & SWP_NOSIZE) && IsWindow(window)) {
        const WindowRecord* current = FindWindowRecord(window);
        const RECT client = ClientRectOf(*current);
        const WPARAM kind = (current->style & WS_MINIMIZE)   ? SIZE_MINIMIZED
                            : (current->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED
                                                             : SIZE_RESTORED;
        SendMessageA(window, WM_SIZE, kind,
                     MAKELPARAM(static_cast<WORD>(Width(client)), static_cast<WORD>(Height(client))));
      }
      return 0;
    }
    default:
      return 0;
  }
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam) {
  if (!procedure) return DefWindowProcA(window, message, wParam, lParam);
  return procedure(window, message, wParam, lParam);
}

LONG_PTR GetWindowLongPtrA(HWND window, int32_t index) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!record) return 0;
  switch (index) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(record->procedure);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(record->instance);
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(record->parent ? record->parent : record->owner);
    case GWLP_ID:
      return record->id;
    case GWL_STYLE:
      return static_cast<LONG>(record->style);
    case GWL_EXSTYLE:
      return static_cast<LONG>(record->exStyle);
    case GWLP_USERDATA:
      return record->userData;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

LONG_PTR SetWindowLongPtrA(HWND window, int32_t index, LONG_PTR value) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record) return 0;
  const LONG_PTR previous = GetWindowLongPtrA(window, index);
  switch (index) {
    case GWLP_WNDPROC:
      record->procedure = reinterpret_cast<WNDPROC>(value);
      break;
    case GWLP_HINSTANCE:
      record->instance = reinterpret_cast<HINSTANCE>(value);
      break;
    case GWLP_HWNDPARENT:
      if (!record->parent) record->owner = reinterpret_cast<HWND>(value);
      break;
    case GWLP_ID:
      record->id = value;
      break;
    case GWL_STYLE:
      record->style = static_cast<DWORD>(value);
      break;
    case GWL_EXSTYLE:
      record->exStyle = static_cast<DWORD>(value);
      break;
    case GWLP_USERDATA:
      record->userData = value;
      break;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
  return previous;
}

namespace {
// Slots that hold pointers do not fit the 32-bit window longs.
bool HoldsPointer(int32_t index) {
  return index == GWLP_WNDPROC || index == GWLP_HINSTANCE || index == GWLP_HWNDPARENT ||
         index == GWLP_USERDATA;
}
}  // namespace

LONG GetWindowLongA(HWND window, int32_t index) {
  if (HoldsPointer(index)) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return static_cast<LONG>(GetWindowLongPtrA(window, index));
}

LONG SetWindowLongA(HWND window, int32_t index, LONG value) {
  if (HoldsPointer(index)) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  if (index == GWL_STYLE || index == GWL_EXSTYLE)
    return static_cast<LONG>(
        SetWindowLongPtrA(window, index, static_cast<LONG_PTR>(static_cast<DWORD>(value))));
  return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}

BOOL ShowWindow(HWND window, int32_t command) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record) return FALSE;
  const BOOL wasVisible = (record->style & WS_VISIBLE) ? TRUE : FALSE;
  if (command == SW_HIDE) {
    if (!wasVisible) return FALSE;
    SendMessageA(window, WM_SHOWWINDOW, FALSE, 0);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return wasVisible;
  }

  RECT target = record->rect;
  DWORD state = record->style & (WS_MINIMIZE | WS_MAXIMIZE);
  switch (command) {
    case SW_SHOWMAXIMIZED:
      if (!(record->style & WS_MAXIMIZE)) record->normalRect = record->rect;
      state = WS_MAXIMIZE;
      target = MaximizedRect(*record);
      break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      state = WS_MINIMIZE;
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
      if (record->style & WS_MAXIMIZE) target = record->normalRect;
      state = 0;
      break;
    default:
      break;
  }
  const bool stateChanged = state != (record->style & (WS_MINIMIZE | WS_MAXIMIZE));
  record->style = (record->style & ~(WS_MINIMIZE | WS_MAXIMIZE)) | state;
  if (!wasVisible) SendMessageA(window, WM_SHOWWINDOW, TRUE, 0);
  if (!IsWindow(window)) return wasVisible;
  UINT flags = SWP_SHOWWINDOW | SWP_NOZORDER;
  if (!ActivatingShow(command)) flags |= SWP_NOACTIVATE;
  if (wasVisible && !stateChanged) {
    // Nothing to show again; an activating command still activates.
    if (!record->parent && !(flags & SWP_NOACTIVATE)) ActivateWindow(window, WA_ACTIVE);
    return wasVisible;
  }
  SetWindowPos(window, nullptr, target.left, target.top, Width(target), Height(target), flags);
  if (state == WS_MINIMIZE && IsWindow(window)) WindowLeaving(window);
  return wasVisible;
}

BOOL IsWindowVisible(HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  while (record) {
    if (!(record->style & WS_VISIBLE)) return FALSE;
    if (!record->parent) return TRUE;
    record = FindWindowRecord(record->parent);
  }
  return FALSE;
}

BOOL IsIconic(HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  return record && (record->style & WS_MINIMIZE) ? TRUE : FALSE;
}

BOOL IsZoomed(HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  return record && (record->style & WS_MAXIMIZE) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record) return FALSE;
  const BOOL wasDisabled = (record->style & WS_DISABLED) ? TRUE : FALSE;
  if (wasDisabled == (enable ? FALSE : TRUE)) return wasDisabled;
  if (enable)
    record->style &= ~WS_DISABLED;
  else
    record->style |= WS_DISABLED;
  if (!enable && (GetFocus() == window || IsChild(window, GetFocus()))) SetFocus(nullptr);
  SendMessageA(window, WM_ENABLE, enable, 0);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  return record && !(record->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int32_t x, int32_t y, int32_t width,
                  int32_t height, UINT flags) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record) return FALSE;
  WINDOWPOS position{window, insertAfter, x, y, width, height, flags};
  if (flags & SWP_NOMOVE) {
    position.x = record->rect.left;
    position.y = record->rect.top;
  }
  if (flags & SWP_NOSIZE) {
    position.cx = Width(record->rect);
    position.cy = Height(record->rect);
  }
  SendMessageA(window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&position));
  record = FindWindowRecord(window);
  if (!record) return FALSE;

  // Like the original, report unchanged placement as not moved and not sized, so that showing
  // a window does not resize what it contains.
  if (position.x == record->rect.left && position.y == record->rect.top)
    position.flags |= SWP_NOMOVE;
  if (position.cx == Width(record->rect) && position.cy == Height(record->rect))
    position.flags |= SWP_NOSIZE;
  const bool sized = !(position.flags & SWP_NOSIZE);
  record->rect = RECT{position.x, position.y, position.x + std::max(0, position.cx),
                      position.y + std::max(0, position.cy)};
  if (!(record->style & (WS_MAXIMIZE | WS_MINIMIZE))) record->normalRect = record->rect;
  if (!(position.flags & SWP_NOZORDER)) ApplyZOrder(*record, position.hwndInsertAfter);

  const bool showing = (position.flags & SWP_SHOWWINDOW) && !(record->style & WS_VISIBLE);
  const bool hiding = (position.flags & SWP_HIDEWINDOW) && (record->style & WS_VISIBLE);
  if (showing) record->style |= WS_VISIBLE;
  if (hiding) {
    record->style &= ~WS_VISIBLE;
    WindowLeaving(window);
  }
  if (!record->parent && (position.flags & SWP_SHOWWINDOW) && !(position.flags & SWP_NOACTIVATE) &&
      !(record->style & WS_MINIMIZE))
    ActivateWindow(window, WA_ACTIVE);
  if (!IsWindow(window)) return FALSE;
  if ((showing || sized) && !(position.flags & SWP_NOREDRAW)) InvalidateRect(window, nullptr, TRUE);
  SendMessageA(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&position));
  return TRUE;
}

BOOL MoveWindow(HWND window, int32_t x, int32_t y, int32_t width, int32_t height, BOOL repaint) {
  return SetWindowPos(window, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!record || !rect) return FALSE;
  *rect = ScreenRectOf(*record);
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!record || !rect) return FALSE;
  *rect = ClientRectOf(*record);
  return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!record || !point) return FALSE;
  const POINT origin = ClientOriginOnScreen(*record);
  point->x += origin.x;
  point->y += origin.y;
  return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!record || !point) return FALSE;
  const POINT origin = ClientOriginOnScreen(*record);
  point->x -= origin.x;
  point->y -= origin.y;
  return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD exStyle) {
  if (!rect) return FALSE;
  const RECT insets = FrameInsets(style, exStyle);
  rect->left -= insets.left;
  rect->top -= insets.top;
  rect->right += insets.right;
  rect->bottom += insets.bottom;
  return TRUE;
}

HWND GetParent(HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!record) return nullptr;
  return record->parent ? record->parent : record->owner;
}

HWND SetParent(HWND child, HWND newParent) {
  WindowRecord* record = FindWindowRecord(child);
  if (!record) return nullptr;
  if (newParent && (!FindWindowRecord(newParent) || newParent == child || IsChild(child, newParent))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HWND previous = record->parent ? record->parent : GetDesktopWindow();
  Unlink(*record);
  record->parent = newParent;
  if (newParent) {
    record->style = (record->style & ~WS_POPUP) | WS_CHILD;
    record->owner = nullptr;
  } else {
    record->style &= ~WS_CHILD;
  }
  LinkAtTop(*record);
  return previous;
}

BOOL IsChild(HWND parent, HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  while (record && record->parent) {
    if (record->parent == parent) return TRUE;
    record = FindWindowRecord(record->parent);
  }
  return FALSE;
}

HWND GetWindow(HWND window, UINT relation) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!record) return nullptr;
  if (relation == GW_OWNER) return record->owner;
  if (relation == GW_CHILD) return record->children.empty() ? nullptr : record->children.front();
  const std::vector<HWND>& siblings = SiblingList(*record);
  auto position = std::find(siblings.begin(), siblings.end(), window);
  switch (relation) {
    case GW_HWNDFIRST:
      return siblings.front();
    case GW_HWNDLAST:
      return siblings.back();
    case GW_HWNDNEXT:
      return position + 1 == siblings.end() ? nullptr : *(position + 1);
    case GW_HWNDPREV:
      return position == siblings.begin() ? nullptr : *(position - 1);
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HWND GetDesktopWindow() {
  // The desktop is not a window of this program; a fixed handle stands for it.
  return reinterpret_cast<HWND>(uintptr_t{0x10000});
}

HWND WindowFromPoint(POINT point) {
  for (HWND window : TopLevelList()) {
    const WindowRecord* record = FindWindowRecord(window);
    if (!(record->style & WS_VISIBLE) || (record->style & WS_MINIMIZE)) continue;
    const RECT& r = record->rect;
    if (point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom)
      return ChildFromPoint(window, point);
  }
  return nullptr;
}

BOOL SetWindowTextA(HWND window, const char* text) {
  if (!FindWindowRecord(window)) return FALSE;
  return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int32_t GetWindowTextA(HWND window, char* buffer, int32_t bufferSize) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!buffer || bufferSize <= 0) return 0;
  buffer[0] = '\0';
  if (!record) return 0;
  const size_t length = std::min(record->text.size(), static_cast<size_t>(bufferSize - 1));
  std::memcpy(buffer, record->text.data(), length);
  buffer[length] = '\0';
  return static_cast<int32_t>(length);
}

int32_t GetWindowTextLengthA(HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  return record ? static_cast<int32_t>(record->text.size()) : 0;
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL) {
  if (!window) {
    for (HWND topLevel : TopLevelList()) InvalidateRect(topLevel, nullptr, TRUE);
    return TRUE;
  }
  WindowRecord* record = FindWindowRecord(window);
  if (!record) return FALSE;
  const RECT client = ClientRectOf(*record);
  RECT area = rect ? *rect : client;
  area.left = std::max(area.left, client.left);
  area.top = std::max(area.top, client.top);
  area.right = std::min(area.right, client.right);
  area.bottom = std::min(area.bottom, client.bottom);
  if (area.left >= area.right || area.top >= area.bottom) return TRUE;
  if (!record->hasUpdate) {
    record->updateRect = area;
    record->hasUpdate = true;
  } else {
    RECT& update = record->updateRect;
    update = RECT{std::min(update.left, area.left), std::min(update.top, area.top),
                  std::max(update.right, area.right), std::max(update.bottom, area.bottom)};
  }
  return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record) return FALSE;
  // The update area is kept as one rectangle; it only shrinks when a validated rectangle
  // covers it completely.
  const RECT& update = record->updateRect;
  if (!rect || (rect->left <= update.left && rect->top <= update.top &&
                rect->right >= update.right && rect->bottom >= update.bottom))
    record->hasUpdate = false;
  return TRUE;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!record) return FALSE;
  if (rect) *rect = record->hasUpdate ? record->updateRect : RECT{0, 0, 0, 0};
  return record->hasUpdate ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!record) return FALSE;
  if (record->hasUpdate && IsWindowVisible(window)) SendMessageA(window, WM_PAINT, 0, 0);
  if ((record = FindWindowRecord(window)))
    for (HWND child : std::vector<HWND>(record->children)) UpdateWindow(child);
  return TRUE;
}

int32_t GetSystemMetrics(int32_t index) {
  int32_t width = 0;
  int32_t height = 0;
  ScreenMode(&width, &height);
  switch (index) {
    case SM_CXSCREEN:
      return width;
    case SM_CYSCREEN:
      return height;
    default:
      return 0;
  }
}

void ResetWindowSystem() {
  for (HWND window : std::vector<HWND>(TopLevelList()))
    if (IsWindow(window)) DestroyWindow(window);
  Classes().clear();
  ResetActivation();
  ClearMessageQueue();
  ResetHostInput();
  ScreenReset();
  ScreenSetMode(0, 0);
}
