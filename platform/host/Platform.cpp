#include "platform/host/Platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/d3d/D3D.h"
#include "platform/d3drm/D3DRM.h"
#include "platform/ddraw/DDraw.h"
#include "platform/dinput/DInput.h"
#include "platform/host/Host.h"

namespace {

// Held by a plain pointer, not a static owner: a program that exits without PlatformShutdown
// (the display server went away, say) must not tear the host down from the exit handlers, where
// its windowing library may wait forever on a dead connection.
Host*& Current() {
  static Host* host = nullptr;
  return host;
}

const HostBootstrap* Choose() {
  int count = 0;
  const HostBootstrap* bootstraps = HostBootstraps(&count);
  const char* forced = std::getenv("ORVALIS_HOST");
  for (int i = 0; i < count; ++i) {
    const HostBootstrap& bootstrap = bootstraps[i];
    if (forced && *forced) {
      if (std::strcmp(forced, bootstrap.name) != 0) continue;
      if (bootstrap.available()) return &bootstrap;
      std::fprintf(stderr, "Host \"%s\" cannot run here\n", forced);
      return nullptr;
    }
    if (bootstrap.available()) return &bootstrap;
  }
  if (forced && *forced) std::fprintf(stderr, "Unknown host \"%s\"\n", forced);
  return nullptr;
}

}  // namespace

bool PlatformStartup() {
  if (Current()) return true;
  const HostBootstrap* bootstrap = Choose();
  if (!bootstrap) return false;
  Current() = bootstrap->create().release();
  if (!Current()) {
    std::fprintf(stderr, "Host \"%s\" failed to start\n", bootstrap->name);
    return false;
  }
  // Built-in modules are offered from here, one call per module.
  RegisterDirectDrawModule();
  InstallDirect3D();
  RegisterRetainedModeModule();
  RegisterDirectInputModule();
  return true;
}

void PlatformShutdown() { delete std::exchange(Current(), nullptr); }

Host* PlatformHost() { return Current(); }
