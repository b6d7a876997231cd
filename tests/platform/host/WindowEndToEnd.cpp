// The program as a player meets it: started on the SDL host under the X server named by DISPLAY
// (a virtual one in CI), it must show a window with the game's picture, and closing that window
// the way a window manager does must end it with status 0.
//
//   WindowEndToEnd <program> <assets folder> <frame width> <frame height>
//
// The frame size is the display mode the assets configure. The program may draw slowly (a
// sanitizer build), so the picture is looked at repeatedly until it shows what it must or a
// generous deadline passes; nothing here depends on the frame rate.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::seconds;

constexpr auto kWindowDeadline = seconds(60);
constexpr auto kSettleTime = seconds(3);
constexpr auto kPictureDeadline = seconds(120);
constexpr auto kExitDeadline = seconds(60);

struct Rect {
  int x, y, w, h;
};

// Where the host shows a frame of the given size: the largest rectangle of its aspect ratio,
// centred.
Rect Letterbox(int screenWidth, int screenHeight, int frameWidth, int frameHeight) {
  Rect rect{0, 0, screenWidth, screenHeight};
  if (int64_t{screenWidth} * frameHeight <= int64_t{screenHeight} * frameWidth)
    rect.h = static_cast<int>(int64_t{screenWidth} * frameHeight / frameWidth);
  else
    rect.w = static_cast<int>(int64_t{screenHeight} * frameWidth / frameHeight);
  rect.x = (screenWidth - rect.w) / 2;
  rect.y = (screenHeight - rect.h) / 2;
  return rect;
}

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0xRRGGBB
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

bool TakePicture(Display* display, Picture& picture) {
  const Window root = DefaultRootWindow(display);
  XWindowAttributes attributes{};
  XGetWindowAttributes(display, root, &attributes);
  XImage* image = XGetImage(display, root, 0, 0, attributes.width, attributes.height, AllPlanes,
                            ZPixmap);
  if (!image) return false;
  const bool rgb = image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 &&
                   image->blue_mask == 0xFF;
  if (rgb) {
    picture.width = attributes.width;
    picture.height = attributes.height;
    picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x)
        picture.pixels[static_cast<size_t>(y) * picture.width + x] =
            static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
  }
  XDestroyImage(image);
  return rgb;
}

void SavePicture(const Picture& picture, const char* path) {
  FILE* file = std::fopen(path, "wb");
  if (!file) return;
  std::fprintf(file, "P6\n%d %d\n255\n", picture.width, picture.height);
  for (uint32_t pixel : picture.pixels) {
    const unsigned char rgb[3] = {static_cast<unsigned char>(pixel >> 16),
                                  static_cast<unsigned char>(pixel >> 8),
                                  static_cast<unsigned char>(pixel)};
    std::fwrite(rgb, 1, 3, file);
  }
  std::fclose(file);
  std::fprintf(stderr, "the last picture is in %s\n", path);
}

bool Bright(uint32_t pixel) {
  return ((pixel >> 16) & 0xFF) >= 0xC0 && ((pixel >> 8) & 0xFF) >= 0xC0 && (pixel & 0xFF) >= 0xC0;
}
// The player's ship is steel blue; enemies, explosions and the text are not, and the few blue
// stars are single dots.
bool ShipBlue(uint32_t pixel) {
  const uint32_t red = (pixel >> 16) & 0xFF;
  const uint32_t blue = pixel & 0xFF;
  return blue > 0x80 && blue > red + 0x20;
}

// What a player must see; empty when all of it is there, else what is missing.
std::string Missing(const Picture& picture, int frameWidth, int frameHeight) {
  const Rect shown = Letterbox(picture.width, picture.height, frameWidth, frameHeight);
  // Screen position of a frame position.
  auto screenX = [&](int x) { return shown.x + static_cast<int>(int64_t{x} * shown.w / frameWidth); };
  auto screenY = [&](int y) { return shown.y + static_cast<int>(int64_t{y} * shown.h / frameHeight); };

  // The aspect ratio is kept: outside the shown rectangle (one pixel of filtering aside) the
  // screen stays black, and the picture reaches that rectangle's edges.
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      const bool outside = y < shown.y - 1 || y > shown.y + shown.h || x < shown.x - 1 ||
                           x > shown.x + shown.w;
      if (outside && picture.At(x, y) != 0)
        return "a lit pixel at (" + std::to_string(x) + ", " + std::to_string(y) +
               ") outside the frame's place; the frame is not scaled with its aspect kept";
    }

  // The text line at the top left: white letters across the first 20 rows of the frame, starting
  // at its left edge and running for well over a hundred frame pixels.
  int textPixels = 0;
  int left = picture.width;
  int right = -1;
  for (int y = screenY(0); y < screenY(20); ++y)
    for (int x = screenX(0); x < screenX(400); ++x)
      if (Bright(picture.At(x, y))) {
        ++textPixels;
        left = std::min(left, x);
        right = std::max(right, x);
      }
  if (textPixels < 60 || left > screenX(8) || right < screenX(120))
    return "no text line at the top left (" + std::to_string(textPixels) + " white pixels from x " +
           std::to_string(left) + " to " + std::to_string(right) + ")";

  // The ship near the middle, whatever flies around it.
  int shipPixels = 0;
  for (int y = screenY(frameHeight / 2 - 40); y < screenY(frameHeight / 2 + 40); ++y)
    for (int x = screenX(frameWidth / 2 - 40); x < screenX(frameWidth / 2 + 40); ++x)
      if (ShipBlue(picture.At(x, y))) ++shipPixels;
  if (shipPixels < 400)
    return "no ship near the middle (" + std::to_string(shipPixels) + " ship-blue pixels there)";
  return "";
}

// The top-level window the process with this id shows (SDL names its windows' owners).
Window WindowOf(Display* display, pid_t pid) {
  const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
  if (pidAtom == None) return None;
  Window root = None;
  Window parent = None;
  Window* children = nullptr;
  unsigned int count = 0;
  Window found = None;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
    return None;
  for (unsigned int i = 0; i < count && found == None; ++i) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &items, &after, &data) == Success &&
        data) {
      XWindowAttributes attributes{};
      if (items == 1 && format == 32 && *reinterpret_cast<unsigned long*>(data) ==
                                            static_cast<unsigned long>(pid) &&
          XGetWindowAttributes(display, children[i], &attributes) &&
          attributes.map_state == IsViewable)
        found = children[i];
      XFree(data);
    }
  }
  if (children) XFree(children);
  return found;
}

// What a window manager sends when the user closes a window.
void SendClose(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

// The program's exit status once it has ended; -1 when it is still running.
int Ended(pid_t pid, bool& ended) {
  int status = 0;
  ended = waitpid(pid, &status, WNOHANG) == pid;
  return ended ? status : -1;
}

int Fail(pid_t pid, const std::string& why) {
  std::fprintf(stderr, "FAILED: %s\n", why.c_str());
  if (pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  return 1;
}

// Windows may go while they are looked at (SDL makes its window over again as it sets up); such
// a request fails quietly instead of ending this program.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

void Nap() { std::this_thread::sleep_for(std::chrono::milliseconds(250)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s <program> <assets folder> <frame width> <frame height>\n",
                 argv[0]);
    return 2;
  }
  const int frameWidth = std::atoi(argv[3]);
  const int frameHeight = std::atoi(argv[4]);
  // A busy X server turns a connection away now and then; it is asked again.
  Display* display = XOpenDisplay(nullptr);
  for (int attempt = 1; !display && attempt < 5; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100 * attempt));
    display = XOpenDisplay(nullptr);
  }
  if (!display) return Fail(0, "cannot reach the X server");
  XSetErrorHandler(&IgnoreXError);

  const pid_t pid = fork();
  if (pid == 0) {
    setenv("ORVALIS_HOST", "sdl", 1);
    if (chdir(argv[2]) != 0) _exit(126);
    execl(argv[1], argv[1], static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid < 0) return Fail(0, "cannot start the program");

  bool ended = false;
  int status = 0;
  Window window = None;
  for (const auto deadline = Clock::now() + kWindowDeadline; window == None; Nap()) {
    status = Ended(pid, ended);
    if (ended) return Fail(0, "the program ended (status " + std::to_string(status) +
                                  ") before showing a window");
    if (Clock::now() > deadline) return Fail(pid, "no window appeared");
    window = WindowOf(display, pid);
  }

  std::this_thread::sleep_for(kSettleTime);
  Picture picture;
  std::string missing = "nothing shown yet";
  for (const auto deadline = Clock::now() + kPictureDeadline; !missing.empty(); Nap()) {
    status = Ended(pid, ended);
    if (ended) return Fail(0, "the program ended (status " + std::to_string(status) + ") unasked");
    if (!TakePicture(display, picture)) return Fail(pid, "cannot read the screen as RGB");
    missing = Missing(picture, frameWidth, frameHeight);
    if (!missing.empty() && Clock::now() > deadline) {
      SavePicture(picture, "window-end-to-end.ppm");
      return Fail(pid, missing);
    }
  }

  // SDL may make the window over again while it sets up its renderer, so the window to close is
  // looked up now.
  window = WindowOf(display, pid);
  if (window == None) return Fail(pid, "the window went away unasked");
  SendClose(display, window);
  for (const auto deadline = Clock::now() + kExitDeadline; !ended; Nap()) {
    if (Clock::now() > deadline) return Fail(pid, "the program did not end after its window was closed");
    status = Ended(pid, ended);
  }
  XCloseDisplay(display);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return Fail(0, "the program ended with status " + std::to_string(status) + " after closing");
  std::printf("the window showed the game and closing it ended the program\n");
  return 0;
}
