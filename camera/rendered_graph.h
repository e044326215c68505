// A rendered capture graph: one GStreamer pipeline from the source's capture
// pin through an optional sample grabber to the renderer.
//
//   source ! capsfilter(native) ! [jpegdec] ! videoconvert ! capsfilter(format)
//          ! [videoflip vert, for RGB rows bottom-up]
//          ! tee ! queue ! appsink(grabber: every frame)
//                ! queue(leaky, 1) ! [to I420] ! appsink(renderer: latest frame)
//
// Without a grabber the tee and its first branch are left out. Sinks neither
// sync nor preroll: a live graph runs as soon as its elements do, as a
// capture filter graph does, and a camera without frames still runs.
#pragma once
#include <gst/gst.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "emulation/frame_stamp.h"
#include "formats.h"
#include "gst_support.h"
#include "objects.h"
#include "video_window.h"

namespace pl::capture {

class RenderedGraph {
 public:
  // Builds the pipeline for `source` in its format in force; `grabber` may
  // be null. The pipeline stays stopped.
  static HRESULT build(const CG_FILTER& source, const Ref<CG_FILTER>& grabber, std::unique_ptr<RenderedGraph>* out);
  ~RenderedGraph();
  RenderedGraph(const RenderedGraph&) = delete;
  RenderedGraph& operator=(const RenderedGraph&) = delete;

  HRESULT run();
  // Streaming has ended when this returns: no grabber or renderer call runs.
  HRESULT stop();
  HRESULT state(DWORD ms, CG_STATE* out);

  VideoWindow& window() { return *window_; }
  bool uses(const CG_FILTER* filter) const { return filter == source_ || filter == grabber_.get(); }

 private:
  struct Sink;
  class Builder;
  RenderedGraph(const CG_FILTER& source, const Ref<CG_FILTER>& grabber);
  void appendSource(Builder& chain, const DeviceInfo& device, const Capability& cap);
  static void appendConversion(Builder& chain, const Capability& cap);
  void appendSinks(Builder& chain, const Capability& cap);
  static GstBusSyncReply onBusMessage(GstBus* bus, GstMessage* message, gpointer self);

  const CG_FILTER* const source_;
  const Ref<CG_FILTER> grabber_;
  std::unique_ptr<VideoWindow> window_;
  std::unique_ptr<FrameStamp> stamp_;  // virtual cameras
  std::vector<std::unique_ptr<Sink>> sinks_;
  const std::string devicePath_;        // real cameras: the node, for their error texts
  std::atomic<bool> failed_{false};     // an element reported an error
  std::atomic<bool> delivered_{false};  // a frame came since the run began
  GstPtr<GstElement> pipeline_;
};

}  // namespace pl::capture
