// The code memory: what the compiler writes runs from the other view, and no page of the
// process is ever writable and executable at once, neither while routines are compiled nor
// while they run.
#include <atomic>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "RenderFixture.h"
#include "render/DXRRotate.h"

namespace {

// The lines of /proc/self/maps whose permissions allow writing and executing.
std::vector<std::string> WritableExecutableMappings(bool& sawCodeMemory, const void* executableView) {
  std::vector<std::string> found;
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    std::istringstream fields(line);
    std::string range, permissions;
    fields >> range >> permissions;
    if (permissions.size() >= 3 && permissions[1] == 'w' && permissions[2] == 'x') found.push_back(line);
    if (std::stoull(range, nullptr, 16) == reinterpret_cast<uintptr_t>(executableView))
      sawCodeMemory = permissions.substr(0, 3) == "r-x";
  }
  return found;
}

TEST(SpanCodeMemory, WritesThroughOneViewRunFromTheOther) {
  SpanCodeMemory memory(100);
  ASSERT_GE(memory.Size(), 100u);
  const uint8_t returnSeven[] = {0xB8, 0x07, 0x00, 0x00, 0x00, 0xC3};  // mov eax, 7; ret
  std::memcpy(memory.Writable() + 64, returnSeven, sizeof returnSeven);
  EXPECT_EQ(reinterpret_cast<int (*)()>(const_cast<uint8_t*>(memory.Executable()) + 64)(), 7);
  memory.Writable()[65] = 0x09;  // rewritten in place, with no protection change
  EXPECT_EQ(reinterpret_cast<int (*)()>(const_cast<uint8_t*>(memory.Executable()) + 64)(), 9);
}

TEST(SpanCodeMemory, NoMappingIsWritableAndExecutableWhileCompilingAndRunning) {
  TDXRMachine machine;
  TestSurface source(PixelFormat::RGB32, 16, 16);
  TestSurface dests[] = {TestSurface(PixelFormat::RGB32, 64, 64), TestSurface(PixelFormat::RGB565, 64, 64),
                         TestSurface(PixelFormat::RGB24, 64, 64), TestSurface(PixelFormat::Indexed8, 64, 64)};
  const void* executableView = machine.CodeBuffer;

  std::atomic<bool> stop{false};
  std::atomic<int> scans{0};
  std::vector<std::string> offending;
  bool sawCodeMemory = false;
  std::thread watcher([&] {
    while (!stop) {
      bool seen = false;
      std::vector<std::string> found = WritableExecutableMappings(seen, executableView);
      if (seen) sawCodeMemory = true;
      if (!found.empty() && offending.empty()) offending = found;
      ++scans;
    }
  });
  // More distinct routines than the memory keeps, so that new code is written all along.
  for (int draw = 0; draw < 200 || scans < 50; ++draw) {
    const auto blend = static_cast<TDXRBlendMode>(draw % BlendModeCount);
    DrawRotatedBlend(machine, dests[draw / BlendModeCount % 4].desc, source.desc, 32, 32, 40, 40, {0, 0, 16, 16},
                     0.5, 0.5, draw, blend, 0x40, draw % 2, 0);
  }
  stop = true;
  watcher.join();
  EXPECT_TRUE(sawCodeMemory) << "the routines' view is listed as readable and executable only";
  EXPECT_TRUE(offending.empty()) << offending.front();
}

}  // namespace
