#include <iterator>

#include "platform/host/Host.h"
#include "platform/host/headless/HeadlessHost.h"
#include "platform/host/sdl/SdlHost.h"

const HostBootstrap* HostBootstraps(int* count) {
  static const HostBootstrap bootstraps[] = {
      {"sdl", &SdlHost::Available, [] { return SdlHost::Create(); }},
      {"headless", [] { return true; }, [] { return std::unique_ptr<Host>(new HeadlessHost()); }},
  };
  *count = static_cast<int>(std::size(bootstraps));
  return bootstraps;
}
