// Hosts Korvex.OCX as the program does: registered with regsvr32 into a
// temporary registry, created by class id on a host window, called by
// dispatch number, its events recorded. Cameras are virtual. The test's
// (UI) thread only.
#pragma once
#include <gtest/gtest.h>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

#include "camera/testing.h"
#include "testkit/capture_graph.h"
#include "testkit/com.h"
#include "testkit/korvex_site.h"
#include "testkit/pictures.h"
#include "testkit/wait.h"

namespace korvextest {

struct Event {
  DISPID id;
  int32_t unit;
  int32_t code;  // Capture only
};

inline int32_t h(QWidget* w) { return testkit::handleOf(w); }

// A virtual camera with chosen capabilities.
struct Camera {
  std::string name;
  std::vector<CG_VCAM_CAP> caps = {};  // empty: the default list
  int fps = 120;
  DWORD faults = 0;
};

inline void useCameras(const std::vector<Camera>& cameras) {
  std::vector<CG_VCAM_SPEC> specs;
  for (const Camera& c : cameras)
    specs.push_back({c.name.empty() ? nullptr : c.name.c_str(), c.caps.empty() ? nullptr : c.caps.data(),
                     static_cast<int>(c.caps.size()), c.fps, c.faults});
  ASSERT_EQ(cg_SetVirtualCameras(specs.data(), static_cast<int>(specs.size())), S_OK);
}

class KorvexTest : public ::testing::Test, protected testkit::KorvexSite {
 protected:
  KorvexTest() : KorvexSite(400, 300) {}
  static void SetUpTestSuite() {
    server_ = std::make_unique<comtest::RegisteredServer>("Korvex.OCX");
    ASSERT_EQ(server_->result().exitCode, 0) << server_->result().errors.toStdString();
  }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override {
    useCameras({{}, {}, {}});
    ASSERT_EQ(createControl([this](DISPID id, const VARIANT* args, UINT argc) {
                Event e{id, argc > 0 ? args[0].lVal : -1, argc > 1 ? args[1].lVal : -1};
                events_.push_back(e);
                if (onEvent_) onEvent_(e);
              }),
              S_OK);
  }
  void TearDown() override {
    releaseControl();
    host_.reset();
    useCameras({});
  }

  // InitCapture, device list, safe mode, start of a run with no live view.
  void startRun(int32_t safeMode = 0) {
    ASSERT_EQ(listDevices(), 0);
    call(DISPID_KORVEX_SetSafeMode, safeMode);
    setDisplayWindows();
    ASSERT_EQ(call(DISPID_KORVEX_CaptureStart, int32_t{0}), 0);
  }

  std::vector<Event> captures() const {
    std::vector<Event> out;
    for (const Event& e : events_)
      if (e.id == DISPID_KORVEX_EVENT_Capture) out.push_back(e);
    return out;
  }
  bool waitCaptures(size_t n, int ms) {
    return waitUntil([&] { return captures().size() >= n; }, ms);
  }
  // Asks for one capture of `unit` and waits for its result.
  int32_t captureOnce(int32_t unit, int32_t fmtno, int32_t mtcmp = 5, int ms = 15000) {
    const size_t before = captures().size();
    if (call(DISPID_KORVEX_CaptureGo, unit, fmtno, mtcmp) != 0) return -1;
    if (!waitCaptures(before + 1, ms)) return -2;
    return captures().back().code;
  }

  std::string text(QLineEdit* edit) const { return edit->text().toStdString(); }

  struct Frame {
    BITMAPINFOHEADER header{};
    std::vector<uint8_t> pixels;
  };
  // Unit `unit0`'s frame as WriteBmp writes it (empty when there is none).
  Frame storedFrame(int32_t unit0) {
    QTemporaryDir dir;
    const QString path = dir.filePath("frame.bmp");
    call(DISPID_KORVEX_WriteBmp, unit0, path.toStdString());
    const Bytes bytes = readBytes(path.toStdString());
    if (bytes.size() < 54) return {};
    return {infoHeaderOf(bytes), Bytes(bytes.begin() + 54, bytes.end())};
  }

  static inline std::unique_ptr<comtest::RegisteredServer> server_;
  std::vector<Event> events_;
  std::function<void(const Event&)> onEvent_;
};

// The frame counter a virtual camera stamps into its pictures, read from a
// stored frame; -1 when the frame is too small to hold it.
inline int64_t frameCounter(const BITMAPINFOHEADER& hdr, const std::vector<uint8_t>& pixels) {
  return hdr.biWidth < 256 || hdr.biHeight < 8 ? -1 : testkit::frameCounter(pixels.data(), hdr);
}

}  // namespace korvextest
