// Shows frames on a thread of its own, so that whatever a host does to show one (uploading,
// scaling, waiting for the display's refresh) overlaps the program computing its next frame.
//
// Frames pass through three buffers: the caller fills one, one waits, one is being shown. Handing
// a frame over never waits for the display. The presenting thread always takes the newest frame
// waiting; a frame replaced before it was taken is never shown, so the display may skip frames
// when it falls behind, but it shows only frames that were handed over, whole, and in the order
// they were handed over.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// What the presenting thread shows frames on; it is called on that thread only.
class FrameDisplay {
 public:
  virtual ~FrameDisplay() = default;
  // width x height pixels 0x00RRGGBB, rows packed; 0 x 0 before the first frame.
  virtual void ShowFrame(const uint32_t* pixels, int32_t width, int32_t height) = 0;
};

class FramePresenter {
 public:
  explicit FramePresenter(FrameDisplay& display);
  // Shows the frame last handed over if it has not been shown yet, then ends the thread.
  ~FramePresenter();
  FramePresenter(const FramePresenter&) = delete;
  FramePresenter& operator=(const FramePresenter&) = delete;

  // Copies the frame (width x height pixels, rows packed) and returns at once.
  void Present(const uint32_t* pixels, int32_t width, int32_t height);
  // Shows the newest frame once more (the output was resized or uncovered, say).
  void Refresh();
  // Runs `task` on the presenting thread once every frame handed over before has been shown, and
  // waits for it; what it throws is thrown here.
  void Run(const std::function<void()>& task);

 private:
  struct Task {
    const std::function<void()>& run;
    std::exception_ptr failure;
    bool done = false;
  };
  struct Frame {
    std::vector<uint32_t> pixels;
    int32_t width = 0;
    int32_t height = 0;
  };
  void Loop();

  FrameDisplay& display_;
  Frame filling_;  // the caller's alone
  Frame shown_;    // the presenting thread's alone
  std::mutex mutex_;
  std::condition_variable wake_;      // the presenting thread waits on it
  std::condition_variable taskDone_;  // Run waits on it
  // Guarded by mutex_:
  Frame waiting_;
  bool frameWaiting_ = false;
  bool refreshWanted_ = false;
  bool stopping_ = false;
  Task* task_ = nullptr;  // the one task handed over and not yet taken
  std::thread thread_;  // last, so it starts once everything it reads is made
};
