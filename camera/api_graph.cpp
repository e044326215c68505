// Filter graph, media control, video window, capture graph builder and
// sample grabber.
#include <algorithm>

#include "grabber.h"
#include "objects.h"
#include "platform/window.h"
#include "rendered_graph.h"

using namespace pl::capture;

namespace {

// Runs `body` on the graph's video window, which exists once a stream was rendered.
template <class F>
HRESULT withVideoWindow(CG_GRAPH* handle, F&& body) {
  return guarded([&] {
    const auto g = lookup(handle);
    if (!g) return E_HANDLE;
    if (!g->rendered) return VFW_E_NO_VIDEO_WINDOW;
    body(g->rendered->window());
    return S_OK;
  });
}

template <class F>
HRESULT withGrabber(CG_FILTER* handle, F&& body) {
  return guarded([&] {
    const auto f = lookup(handle);
    if (!f) return E_HANDLE;
    if (!f->grabber) return E_NOINTERFACE;
    return body(*f->grabber);
  });
}

}  // namespace

PL_BEGIN_C

HRESULT cg_CreateFilterGraph(CG_GRAPH** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return guarded([&] {
    *out = makeObject<CG_GRAPH>().detach();
    return S_OK;
  });
}

void cg_GraphRelease(CG_GRAPH* g) { Objects::releaseHandle(g, Kind::Graph); }

HRESULT cg_GraphAddFilter(CG_GRAPH* graph, CG_FILTER* filter, const char* /*name*/) {
  return guarded([&] {
    const auto g = lookup(graph);
    const auto f = lookup(filter);
    if (!g || !f) return E_HANDLE;
    if (f->graph) return E_INVALIDARG;  // a filter belongs to one graph at a time
    f->graph = g.get();
    g->filters.push_back(f);
    return S_OK;
  });
}

HRESULT cg_GraphRemoveFilter(CG_GRAPH* graph, CG_FILTER* filter) {
  return guarded([&] {
    const auto g = lookup(graph);
    const auto f = lookup(filter);
    if (!g || !f) return E_HANDLE;
    const auto it =
        std::find_if(g->filters.begin(), g->filters.end(), [&](const Ref<CG_FILTER>& r) { return r.get() == f.get(); });
    if (it == g->filters.end()) return E_INVALIDARG;
    // Taking a filter out disconnects it: the rendered stream through it ends.
    if (g->rendered && g->rendered->uses(f.get())) g->unrender();
    f->graph = nullptr;
    g->filters.erase(it);
    return S_OK;
  });
}

HRESULT cg_GraphRun(CG_GRAPH* graph) {
  return guarded([&] {
    const auto g = lookup(graph);
    if (!g) return E_HANDLE;
    return g->rendered ? g->rendered->run() : VFW_E_NOT_CONNECTED;
  });
}

HRESULT cg_GraphStop(CG_GRAPH* graph) {
  return guarded([&] {
    const auto g = lookup(graph);
    if (!g) return E_HANDLE;
    return g->rendered ? g->rendered->stop() : S_OK;
  });
}

HRESULT cg_GraphGetState(CG_GRAPH* graph, DWORD ms, CG_STATE* state) {
  if (!state) return E_POINTER;
  return guarded([&] {
    const auto g = lookup(graph);
    if (!g) return E_HANDLE;
    *state = CG_STOPPED;
    return g->rendered ? g->rendered->state(ms, state) : S_OK;
  });
}

HRESULT cg_VideoWindowSetOwner(CG_GRAPH* g, HWND owner) {
  if (owner != 0 && !IsWindow(owner)) return E_INVALIDARG;
  return withVideoWindow(g, [&](VideoWindow& w) { w.setOwner(owner); });
}

HRESULT cg_VideoWindowSetStyle(CG_GRAPH* g, LONG style) {
  return withVideoWindow(g, [&](VideoWindow& w) { w.setStyle(style); });
}

HRESULT cg_VideoWindowSetPosition(CG_GRAPH* g, LONG left, LONG top, LONG width, LONG height) {
  return withVideoWindow(g, [&](VideoWindow& w) { w.setPosition(left, top, width, height); });
}

HRESULT cg_VideoWindowSetVisible(CG_GRAPH* g, BOOL visible) {
  return withVideoWindow(g, [&](VideoWindow& w) { w.setVisible(visible != FALSE); });
}

HRESULT cg_CreateCaptureGraphBuilder(CG_BUILDER** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return guarded([&] {
    *out = makeObject<CG_BUILDER>().detach();
    return S_OK;
  });
}

void cg_BuilderRelease(CG_BUILDER* b) { Objects::releaseHandle(b, Kind::Builder); }

HRESULT cg_BuilderSetFiltergraph(CG_BUILDER* builder, CG_GRAPH* graph) {
  return guarded([&] {
    const auto b = lookup(builder);
    auto g = lookup(graph);
    if (!b || !g) return E_HANDLE;
    if (b->graph) return E_UNEXPECTED;  // the graph is given once
    b->graph = std::move(g);
    return S_OK;
  });
}

HRESULT cg_BuilderFindStreamConfig(CG_BUILDER* builder, CG_FILTER* source, CG_STREAMCONFIG** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return guarded([&] {
    const auto b = lookup(builder);
    auto s = lookup(source);
    if (!b || !s) return E_HANDLE;
    if (!s->isSource() || !s->device->streamConfig) return E_NOINTERFACE;
    *out = makeObject<CG_STREAMCONFIG>(std::move(s)).detach();
    return S_OK;
  });
}

HRESULT cg_BuilderRenderStream(CG_BUILDER* builder, CG_FILTER* source, CG_FILTER* intermediate) {
  return guarded([&] {
    const auto b = lookup(builder);
    const auto s = lookup(source);
    if (!b || !s) return E_HANDLE;
    if (!b->graph) return E_UNEXPECTED;
    CG_GRAPH& g = *b->graph;
    if (!s->isSource() || s->graph != &g) return E_INVALIDARG;
    Ref<CG_FILTER> grabber;
    if (intermediate) {
      grabber = lookup(intermediate);
      if (!grabber) return E_HANDLE;
      if (!grabber->grabber || grabber->graph != &g) return E_INVALIDARG;
    }
    if (g.rendered) return VFW_E_CANNOT_CONNECT;  // the capture pin is connected already
    return RenderedGraph::build(*s, grabber, &g.rendered);
  });
}

HRESULT cg_CreateSampleGrabber(CG_FILTER** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return guarded([&] {
    *out = makeObject<CG_FILTER>().detach();
    return S_OK;
  });
}

HRESULT cg_GrabberSetOneShot(CG_FILTER* grabber, BOOL oneShot) {
  return withGrabber(grabber, [&](GrabberState& s) {
    s.setOneShot(oneShot != FALSE);
    return S_OK;
  });
}

HRESULT cg_GrabberSetBufferSamples(CG_FILTER* grabber, BOOL buffer) {
  return withGrabber(grabber, [&](GrabberState& s) {
    s.setBufferSamples(buffer != FALSE);
    return S_OK;
  });
}

HRESULT cg_GrabberSetCallback(CG_FILTER* grabber, ISampleGrabberCB* cb, int which) {
  return withGrabber(grabber, [&](GrabberState& s) { return s.setCallback(cb, which); });
}

PL_END_C
