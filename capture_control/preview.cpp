// The live preview of one device in a host window.
#include "korvex_ctrl.h"

namespace korvex {

void CKorvexCtrl::releasePreview() {
  if (previewGraph_) {
    cg_GraphStop(previewGraph_.get());
    cg_VideoWindowSetVisible(previewGraph_.get(), FALSE);
    cg_VideoWindowSetOwner(previewGraph_.get(), 0);
    if (previewSource_) cg_GraphRemoveFilter(previewGraph_.get(), previewSource_.get());
  }
  previewBuilder_.reset();
  previewSource_.reset();
  previewGraph_.reset();
}

int32_t CKorvexCtrl::PreUsbGo(HWND hwnd, int32_t devno) {
  if (previewRunning_) return 1;
  previewRunning_ = true;  // also on failure: PreUsbEnd must follow
  if (devno < 1 || devno > deviceCount_) return 1;
  if (capturing_) return 1;  // asked from inside a capture's wait: the camera tables are in use
  {
    std::lock_guard lock(deviceTableLock_);
    deviceCount_ = EnumerateVideoDevices();
    workerCount_ = deviceCount_;
    if (ProbeDevice(devno - 1) != 0) return 1;
  }
  releasePreview();
  DevicePtr& device = devices_[static_cast<size_t>(devno - 1)];
  if (!device) return 1;
  CG_FILTER* source = nullptr;
  if (FAILED(cg_DeviceBindSource(device.get(), &source))) return 1;
  previewSource_.reset(source);

  CG_GRAPH* graph = nullptr;
  if (FAILED(cg_CreateFilterGraph(&graph))) return releasePreview(), 1;
  previewGraph_.reset(graph);
  if (FAILED(cg_GraphAddFilter(graph, source, "Video Capture"))) return releasePreview(), 1;
  CG_BUILDER* builder = nullptr;
  if (FAILED(cg_CreateCaptureGraphBuilder(&builder))) return releasePreview(), 1;
  previewBuilder_.reset(builder);
  if (FAILED(cg_BuilderSetFiltergraph(builder, graph))) return releasePreview(), 1;

  if (!SelectFormat(builder, source, nullptr)) return releasePreview(), 2;
  formatHeld_ = true;
  if (FAILED(cg_BuilderRenderStream(builder, source, nullptr))) return releasePreview(), 2;

  if (hwnd != 0) {
    RECT client{};
    GetClientRect(hwnd, &client);
    cg_VideoWindowSetOwner(graph, hwnd);
    cg_VideoWindowSetStyle(graph, static_cast<LONG>(WS_CHILD | WS_CLIPSIBLINGS));
    cg_VideoWindowSetPosition(graph, 0, 0, client.right, client.bottom);
  }
  CG_STATE state = CG_STOPPED;
  if (cg_GraphGetState(graph, kStateTimeoutMs, &state) != S_OK || state != CG_STOPPED) return releasePreview(), 1;
  if (cg_GraphRun(graph) == S_OK) return 0;
  if (SUCCEEDED(cg_GraphGetState(graph, kStateTimeoutMs, &state)) && state == CG_RUNNING) return 0;
  releasePreview();
  return 1;
}

int32_t CKorvexCtrl::PreUsbEnd() {
  if (!previewRunning_) return 1;
  previewRunning_ = false;
  formatHeld_ = false;
  releasePreview();
  if (capturing_) {
    workerTableReleaseDeferred_ = true;  // the capture holds the device-table lock
    return 0;
  }
  std::lock_guard lock(deviceTableLock_);
  releaseWorkerTable(deviceCount_);
  return 0;
}

}  // namespace korvex
