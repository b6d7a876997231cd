#include "platform/host/Platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ddraw/DDraw.h"
#include "platform/dinput/DInput.h"
#include "platform/host/Host.h"

namespace {

std::unique_ptr<Host>& Current() {
  static std::unique_ptr<Host> host;
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
  Current() = bootstrap->create();
  if (!Current()) {
    std::fprintf(stderr, "Host \"%s\" failed to start\n", bootstrap->name);
    return false;
  }
  // Built-in modules are offered from here, one call per module.
  RegisterDirectDrawModule();
  RegisterDirectInputModule();
  return true;
}

void PlatformShutdown() { Current().reset(); }

Host* PlatformHost() { return Current().get(); }
