// The sample grabber's side of the streaming thread: hands each frame to the
// caller's BufferCB.
#pragma once
#include <atomic>
#include <mutex>

#include "camera/capture.h"

namespace pl::capture {

class GrabberState {
 public:
  GrabberState() = default;
  ~GrabberState();
  GrabberState(const GrabberState&) = delete;
  GrabberState& operator=(const GrabberState&) = delete;

  // Once this returns, the previous callback is not running and will not be
  // called again. The callback must not call back into the grabber.
  HRESULT setCallback(ISampleGrabberCB* cb, int which);
  void setOneShot(bool oneShot) { oneShot_.store(oneShot); }
  void setBufferSamples(bool buffer) { bufferSamples_.store(buffer); }
  // A new run: a one-shot grabber may pass one frame again.
  void rearm() { shotTaken_.store(false); }

  // Streaming thread.
  void deliver(double sampleTime, BYTE* data, LONG length);

 private:
  std::mutex mutex_;  // held around every callback invocation
  ISampleGrabberCB* cb_ = nullptr;
  std::atomic<bool> oneShot_{false};
  std::atomic<bool> shotTaken_{false};
  std::atomic<bool> bufferSamples_{false};  // kept for the caller; no sample is buffered here
};

}  // namespace pl::capture
