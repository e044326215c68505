// Helpers of the capture graph tests: virtual camera set-ups and the names a
// listing shows. Graphs are built with testkit's CaptureGraph.
#pragma once
#include <gtest/gtest.h>

#include <QString>
#include <string>
#include <vector>

#include "testkit/capture_graph.h"

using testkit::CaptureGraph;

// Names of the devices a fresh enumeration lists.
inline std::vector<std::string> deviceNames() {
  std::vector<std::string> names;
  CG_DEVENUM* e = nullptr;
  if (cg_CreateDeviceEnumerator(&e) != S_OK) return names;
  CG_DEVICE* d = nullptr;
  while (cg_DeviceEnumNext(e, &d) == S_OK) {
    uint16_t name[256];
    const int n = cg_DeviceFriendlyName(d, name, 256);
    names.push_back(n < 0 ? "<no name>" : QString::fromUtf16(reinterpret_cast<const char16_t*>(name), n).toStdString());
    cg_DeviceRelease(d);
  }
  cg_DeviceEnumRelease(e);
  return names;
}

// Selects the format and renders the stream through the graph's frame log.
inline testing::AssertionResult selectAndRender(CaptureGraph& g, LONG w, LONG h, DWORD compression, WORD bits = 0) {
  if (!g.select(w, h, compression, bits)) return testing::AssertionFailure() << "no " << w << " x " << h << " format";
  if (const HRESULT hr = g.render(true); hr != S_OK) return testing::AssertionFailure() << "render: " << hr;
  return testing::AssertionSuccess();
}

// Sets virtual cameras for one test and removes them afterwards.
class CaptureTest : public testing::Test {
 protected:
  void TearDown() override { cg_SetVirtualCameras(nullptr, 0); }
  static void useCameras(const std::vector<CG_VCAM_SPEC>& specs) {
    ASSERT_EQ(cg_SetVirtualCameras(specs.data(), static_cast<int>(specs.size())), S_OK);
  }
};
