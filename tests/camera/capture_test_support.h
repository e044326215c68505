// Helpers of the capture graph tests: virtual camera set-ups, a grabber
// callback that logs frames, a graph built the way the capture control
// builds one, and the reader of the virtual cameras' frame counter.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "camera/testing.h"

// Reads the counter strip of a frame laid out as a DIB (I420/IYUV and YUY2
// top row first, RGB bottom row first).
uint32_t frameCounter(const BYTE* bits, const BITMAPINFOHEADER& format);

// Names of the devices a fresh enumeration lists.
std::vector<std::string> deviceNames();

// Sets virtual cameras for one test and removes them afterwards.
class CaptureTest : public testing::Test {
 protected:
  void TearDown() override { cg_SetVirtualCameras(nullptr, 0); }
  static void useCameras(const std::vector<CG_VCAM_SPEC>& specs) {
    ASSERT_EQ(cg_SetVirtualCameras(specs.data(), static_cast<int>(specs.size())), S_OK);
  }
};

// A grabber callback that records every frame it is given.
class FrameLog {
 public:
  struct Entry {
    LONG length;
    uint32_t counter;
    double time;
  };
  FrameLog();
  ISampleGrabberCB* callback() { return &cb_; }
  // The format frames arrive in, for reading their counters.
  void setFormat(const BITMAPINFOHEADER& format);
  // Each call sleeps this long (a slow consumer).
  void setDelay(int ms) { delayMs_ = ms; }

  bool waitFor(size_t frames, int ms);
  std::vector<Entry> entries();
  std::vector<BYTE> lastFrame();
  bool inCallback() const { return inCallback_.load(); }
  int refs() const { return refs_.load(); }

 private:
  struct Callback : ISampleGrabberCB {
    FrameLog* log;
  };
  static FrameLog* of(ISampleGrabberCB* self) { return static_cast<Callback*>(self)->log; }
  static HRESULT queryInterface(ISampleGrabberCB* self, REFIID iid, void** out);
  static ULONG addRef(ISampleGrabberCB* self);
  static ULONG release(ISampleGrabberCB* self);
  static HRESULT sampleCb(ISampleGrabberCB* self, double time, void* sample);
  static HRESULT bufferCb(ISampleGrabberCB* self, double time, BYTE* buffer, LONG length);
  static const ISampleGrabberCBVtbl kVtbl;

  Callback cb_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  BITMAPINFOHEADER format_{};
  std::vector<Entry> entries_;
  std::vector<BYTE> last_;
  std::atomic<int> delayMs_{0};
  std::atomic<bool> inCallback_{false};
  std::atomic<int> refs_{0};
};

// A capture graph of one device, built the way the capture control builds
// one: bind, graph with the source, builder, format, grabber, render.
class TestGraph {
 public:
  explicit TestGraph(int deviceIndex);
  ~TestGraph();
  TestGraph(const TestGraph&) = delete;
  TestGraph& operator=(const TestGraph&) = delete;

  // Sets the first capability of this size and compression (and bit count,
  // when not 0) as the format; false when there is none.
  bool select(LONG width, LONG height, DWORD compression, WORD bitCount = 0);
  // Renders the stream, through a grabber logging into `log` when asked.
  HRESULT render(bool withGrabber);
  HRESULT run() { return cg_GraphRun(graph); }
  CG_STATE state(HRESULT* hr = nullptr, DWORD ms = 2000);

  CG_DEVICE* device = nullptr;
  CG_FILTER* source = nullptr;
  CG_GRAPH* graph = nullptr;
  CG_BUILDER* builder = nullptr;
  CG_FILTER* grabber = nullptr;
  BITMAPINFOHEADER format{};  // the format in force after select()/render()
  FrameLog log;
};

// Resident memory of the process in bytes.
size_t residentBytes();
