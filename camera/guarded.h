// The exception barrier of the capture graph service's C entry points.
#pragma once
#include <new>

#include "platform/errors.h"

namespace pl::capture {

// Runs `body` and turns escaping exceptions into results: nothing crosses the C boundary.
template <class F>
HRESULT guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) { return E_OUTOFMEMORY; } catch (...) {
    return E_FAIL;
  }
}

}  // namespace pl::capture
