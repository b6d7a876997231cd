// A host is where pixels, events and time really come from. Hosts are listed in a table of
// bootstraps, tried in order: the first whose probe says it can run here is started, unless
// ORVALIS_HOST names one.
#pragma once

#include <memory>

class Host {
 public:
  virtual ~Host() = default;
  virtual const char* Name() const = 0;
};

struct HostBootstrap {
  const char* name;
  bool (*available)();
  std::unique_ptr<Host> (*create)();
};

// The bootstraps in order of preference.
const HostBootstrap* HostBootstraps(int* count);
