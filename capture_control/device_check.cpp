// Device checks of safe mode and the worker thread that runs them.
#include <algorithm>
#include <chrono>

#include "korvex_ctrl.h"

namespace korvex {

using namespace std::chrono_literals;

// Caller holds the device-table lock, so no capture runs meanwhile. Binding
// opens the camera as streaming would (its source brought to READY, its
// formats read) and closes it again; rendering then fails when the camera no
// longer offers the format the graph needs. The graph is never run, so the
// camera is not held and a camera busy in another program passes.
int CKorvexCtrl::ProbeDevice(int position) {
  if (safeMode_ == 0) return 0;
  if (position < 0 || position >= kMaxDevices || !workerDevices_[static_cast<size_t>(position)]) return 1;
  CG_FILTER* rawSource = nullptr;
  if (FAILED(cg_DeviceBindSource(workerDevices_[static_cast<size_t>(position)].get(), &rawSource))) return 1;
  FilterPtr source(rawSource);
  CG_GRAPH* rawGraph = nullptr;
  if (FAILED(cg_CreateFilterGraph(&rawGraph))) return 1;
  GraphPtr graph(rawGraph);
  if (FAILED(cg_GraphAddFilter(graph.get(), source.get(), "Video Capture"))) return 1;
  CG_BUILDER* rawBuilder = nullptr;
  if (FAILED(cg_CreateCaptureGraphBuilder(&rawBuilder))) return 1;
  BuilderPtr builder(rawBuilder);
  if (FAILED(cg_BuilderSetFiltergraph(builder.get(), graph.get()))) return 1;
  int status = 0;
  if (FAILED(cg_BuilderRenderStream(builder.get(), source.get(), nullptr))) {
    status = 2;
  } else {
    CG_STATE state = CG_STOPPED;
    const HRESULT hr = cg_GraphGetState(graph.get(), kStateTimeoutMs, &state);
    status = hr == E_FAIL ? 1 : (state == CG_STOPPED ? 0 : 1);
  }
  cg_GraphRemoveFilter(graph.get(), source.get());
  return status;  // never run: a check only builds the graph
}

// A camera that failed its check is looked at again on every tick, one such
// unit per tick in turn, besides the round robin: a camera plugged back in is
// usable within half a second of being listed again instead of a whole round
// later. Binding never lists the cameras itself. Caller holds the
// device-table lock.
void CKorvexCtrl::recheckFailedUnit(int checked, int* retry) {
  const int n = std::min<int>(deviceCount_, kMaxUnits);
  for (int k = 0; k < n; ++k) {
    const int q = (*retry + k) % n;
    if (q == checked || units_[static_cast<size_t>(q)].deviceStatus == 0) continue;
    units_[static_cast<size_t>(q)].deviceStatus = ProbeDevice(q);
    *retry = (q + 1) % n;
    return;
  }
}

void CKorvexCtrl::DeviceCheckWorker() {
  workerAck_.set();
  CoInitialize(nullptr);
  auto timeout = -1ms;  // idle until capture starts
  int position = 0;
  int retry = 0;
  for (;;) {
    const auto command = commands_.wait(timeout);
    if (command == WorkerCommands::kQuit) break;
    if (command == WorkerCommands::kStart) {
      workerAck_.set();
      timeout = 500ms;
      std::lock_guard lock(deviceTableLock_);
      workerCount_ = EnumerateVideoDevices();
      position = 0;
    } else if (command == WorkerCommands::kEnd) {
      workerAck_.set();
      timeout = -1ms;
      std::lock_guard lock(deviceTableLock_);
      releaseWorkerTable(workerCount_);
    } else {
      // An unplugged camera is looked for again before the lock: a capture on
      // the window thread waits for that lock.
      if (workerCount_ != 0) cg_RelistGoneCameras();
      std::lock_guard lock(deviceTableLock_);
      if (workerCount_ != 0) {
        const int status = ProbeDevice(position);
        if (position < kMaxUnits) units_[static_cast<size_t>(position)].deviceStatus = status;
        recheckFailedUnit(position, &retry);
        ++position;
        if (position >= deviceCount_) position = 0;
      } else if (position < kMaxUnits) {
        units_[static_cast<size_t>(position)].deviceStatus = 1;
      }
    }
  }
  CoUninitialize();
  workerEnded_ = true;
}

}  // namespace korvex
