#include "grabber.h"

namespace pl::capture {

GrabberState::~GrabberState() {
  if (cb_) cb_->lpVtbl->Release(cb_);
}

HRESULT GrabberState::setCallback(ISampleGrabberCB* cb, int which) {
  // Frames travel as buffers only: there is no media sample object to pass.
  if (cb && which != 1) return which == 0 ? E_NOTIMPL : E_INVALIDARG;
  if (cb) cb->lpVtbl->AddRef(cb);
  ISampleGrabberCB* old = nullptr;
  {
    std::lock_guard lock(mutex_);
    old = cb_;
    cb_ = cb;
  }
  if (old) old->lpVtbl->Release(old);
  return S_OK;
}

void GrabberState::deliver(double sampleTime, BYTE* data, LONG length) {
  if (oneShot_.load() && shotTaken_.exchange(true)) return;
  std::lock_guard lock(mutex_);
  if (cb_) cb_->lpVtbl->BufferCB(cb_, sampleTime, data, length);
}

}  // namespace pl::capture
