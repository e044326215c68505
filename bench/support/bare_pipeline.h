// The floor of the capture benchmarks: a bare GStreamer pipeline
// (videotestsrc is-live ! 640 x 480 I420 ! appsink) built, run until 6
// buffers have passed, and torn down.
#pragma once
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

namespace bench {

constexpr int kFramesPassed = 6;

// Counts delivered buffers and wakes the waiting benchmark at the 6th.
struct FrameCount {
  std::mutex mutex;
  std::condition_variable done;
  int frames = 0;

  void reset() {
    std::lock_guard lock(mutex);
    frames = 0;
  }
  void add() {
    std::lock_guard lock(mutex);
    if (++frames == kFramesPassed) done.notify_all();
  }
  bool wait() {
    std::unique_lock lock(mutex);
    return done.wait_for(lock, std::chrono::seconds(5), [&] { return frames >= kFramesPassed; });
  }
};

inline GstFlowReturn countSample(GstAppSink* sink, gpointer count) {
  if (GstSample* sample = gst_app_sink_pull_sample(sink)) gst_sample_unref(sample);
  static_cast<FrameCount*>(count)->add();
  return GST_FLOW_OK;
}

// One bare run at `fps`; false when the buffers did not come.
inline bool runBarePipeline(int fps) {
  gst_init(nullptr, nullptr);
  const std::string caps = "video/x-raw,format=I420,width=640,height=480,framerate=" + std::to_string(fps) + "/1";
  FrameCount count;
  GstElement* pipeline = gst_pipeline_new(nullptr);
  GstElement* src = gst_element_factory_make("videotestsrc", nullptr);
  GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
  GstElement* sink = gst_element_factory_make("appsink", nullptr);
  if (!pipeline || !src || !filter || !sink) return false;
  g_object_set(src, "is-live", TRUE, nullptr);
  GstCaps* c = gst_caps_from_string(caps.c_str());
  g_object_set(filter, "caps", c, nullptr);
  gst_caps_unref(c);
  g_object_set(sink, "sync", FALSE, nullptr);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = countSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, &count, nullptr);
  gst_bin_add_many(GST_BIN(pipeline), src, filter, sink, nullptr);
  gst_element_link_many(src, filter, sink, nullptr);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  const bool passed = count.wait();
  gst_element_set_state(pipeline, GST_STATE_NULL);  // the streaming thread is gone after this
  gst_object_unref(pipeline);
  return passed;
}

// One bare run of a pipeline description ending in "appsink name=sink"
// (e.g. the emulated UVC source ! image/jpeg ! jpegdec ! appsink): built,
// run until 6 buffers have passed, torn down. False when they did not come.
inline bool runBareLaunch(const std::string& description) {
  gst_init(nullptr, nullptr);
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
  if (error) g_error_free(error);
  if (!pipeline) return false;
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
  if (!sink) {
    gst_object_unref(pipeline);
    return false;
  }
  FrameCount count;
  g_object_set(sink, "sync", FALSE, nullptr);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = countSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, &count, nullptr);
  gst_object_unref(sink);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  const bool passed = count.wait();
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return passed;
}

}  // namespace bench
