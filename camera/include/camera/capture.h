// Capture graph service: cameras as a graph of a source filter, a capture-pin
// format, an optional sample grabber and a renderer that draws live frames
// into an owner window. Built on GStreamer.
//
// Objects are opaque and reference-counted (each type has its own Release;
// releasing NULL is harmless). Results are HRESULTs (errors.h).
//
// Frames reach the grabber callback exactly as a DIB holds them: RGB as BGR
// rows padded to 4 bytes, bottom row first; "I420"/"IYUV" as tight planar
// 4:2:0 (Y, then U, then V).
//
// Threads: objects are made, configured and released on one thread (the
// control's window thread); the grabber callback and the renderer run on
// GStreamer's streaming threads. The renderer hands its pictures to the UI
// thread without waiting for it.
//
// Devices: real V4L2 cameras first, sorted by USB port path (so a camera
// keeps its position across runs while it stays in its port), then virtual
// cameras: $VCAM_DEVICES of them (0 to 20) at $VCAM_FPS frames per second
// (default 30), or what cg_SetVirtualCameras configured (camera/testing.h,
// for tests and benchmarks). Real cameras list
// their native formats and, at each native size, "I420", "IYUV" and 24-bit
// RGB converted in the pipeline. Binding a real camera opens it and reads its
// formats (nothing streams); a device reference whose camera was unplugged
// binds the camera plugged back into the same USB port once
// cg_RelistGoneCameras has listed it. A camera's errors
// (gone, busy) make cg_GraphGetState fail at once and are logged once.
#pragma once
#include "platform/com.h"
#include "platform/errors.h"
#include "platform/export.h"
#include "platform/window.h"
#include "platform/wintypes.h"

#define VFW_S_STATE_INTERMEDIATE PL_HR(0x00040237u)
#define VFW_E_NOT_CONNECTED PL_HR(0x80040209u)
#define VFW_E_NO_VIDEO_WINDOW PL_HR(0x8004025Cu)  // stand-in value: the graph has no renderer
#define VFW_E_NO_CAPTURE_HARDWARE PL_HR(0x80040218u)
#define VFW_E_CANNOT_CONNECT PL_HR(0x80040217u)
#define VFW_E_INVALIDMEDIATYPE PL_HR(0x80040200u)

#define WS_CHILD 0x40000000u
#define WS_CLIPSIBLINGS 0x04000000u

typedef enum CG_STATE { CG_STOPPED = 0, CG_PAUSED = 1, CG_RUNNING = 2 } CG_STATE;

typedef struct SIZE {
  LONG cx, cy;
} SIZE;

typedef struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  int64_t AvgTimePerFrame;  // 100 ns units
  BITMAPINFOHEADER bmiHeader;
} VIDEOINFOHEADER;

typedef struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  void* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;  // a VIDEOINFOHEADER
} AM_MEDIA_TYPE;

// The 128-byte capability record of a video stream.
typedef struct VIDEO_STREAM_CONFIG_CAPS {
  GUID guid;
  ULONG VideoStandard;
  SIZE InputSize;
  SIZE MinCroppingSize;
  SIZE MaxCroppingSize;
  int CropGranularityX, CropGranularityY, CropAlignX, CropAlignY;
  SIZE MinOutputSize;
  SIZE MaxOutputSize;
  int OutputGranularityX, OutputGranularityY;
  int StretchTapsX, StretchTapsY, ShrinkTapsX, ShrinkTapsY;
  int64_t MinFrameInterval, MaxFrameInterval;
  LONG MinBitsPerSecond, MaxBitsPerSecond;
} VIDEO_STREAM_CONFIG_CAPS;

#ifdef __cplusplus
static_assert(sizeof(VIDEO_STREAM_CONFIG_CAPS) == 128, "capability records are 128 bytes");
static_assert(sizeof(VIDEOINFOHEADER) == 88, "video info header is 88 bytes");
#endif

// The grabber's callback object, implemented by the caller.
typedef struct ISampleGrabberCB ISampleGrabberCB;
typedef struct ISampleGrabberCBVtbl {
  HRESULT (*QueryInterface)(ISampleGrabberCB* self, REFIID iid, void** out);
  ULONG (*AddRef)(ISampleGrabberCB* self);
  ULONG (*Release)(ISampleGrabberCB* self);
  HRESULT (*SampleCB)(ISampleGrabberCB* self, double sampleTime, void* sample);
  HRESULT (*BufferCB)(ISampleGrabberCB* self, double sampleTime, BYTE* buffer, LONG length);
} ISampleGrabberCBVtbl;
struct ISampleGrabberCB {
  const ISampleGrabberCBVtbl* lpVtbl;
};

typedef struct CG_DEVENUM CG_DEVENUM;  // device enumerator
typedef struct CG_DEVICE CG_DEVICE;    // device reference (moniker)
typedef struct CG_FILTER CG_FILTER;    // source filter or sample grabber
typedef struct CG_GRAPH CG_GRAPH;      // filter graph, its media control and video window
typedef struct CG_BUILDER CG_BUILDER;  // capture graph builder
typedef struct CG_STREAMCONFIG CG_STREAMCONFIG;

PL_BEGIN_C

// Enumeration of video input devices.
PL_VISIBLE HRESULT cg_CreateDeviceEnumerator(CG_DEVENUM** out);
// S_OK with a device (one reference), S_FALSE at the end.
PL_VISIBLE HRESULT cg_DeviceEnumNext(CG_DEVENUM* e, CG_DEVICE** out);
PL_VISIBLE void cg_DeviceEnumRelease(CG_DEVENUM* e);

PL_VISIBLE void cg_DeviceAddRef(CG_DEVICE* d);
PL_VISIBLE void cg_DeviceRelease(CG_DEVICE* d);
// The device's "FriendlyName" as UTF-16 code units (as the property bag gives
// it); returns the number of units, copying at most max - 1 plus a 0. -1 on failure.
PL_VISIBLE int cg_DeviceFriendlyName(CG_DEVICE* d, uint16_t* name, int max);
// One line of UTF-8 for people: the quoted name, the node, the USB port path
// and the formats offered (a virtual camera: its name). Returns the length of
// the whole line, copying at most size - 1 bytes plus a 0; -1 on failure.
PL_VISIBLE int cg_DeviceDescription(CG_DEVICE* d, char* text, int size);
PL_VISIBLE HRESULT cg_DeviceBindSource(CG_DEVICE* d, CG_FILTER** source);

PL_VISIBLE void cg_FilterRelease(CG_FILTER* f);

// Filter graph.
PL_VISIBLE HRESULT cg_CreateFilterGraph(CG_GRAPH** out);
PL_VISIBLE void cg_GraphRelease(CG_GRAPH* g);
PL_VISIBLE HRESULT cg_GraphAddFilter(CG_GRAPH* g, CG_FILTER* f, const char* name);
PL_VISIBLE HRESULT cg_GraphRemoveFilter(CG_GRAPH* g, CG_FILTER* f);
// Media control. Run: S_OK running, S_FALSE still changing, E_FAIL.
PL_VISIBLE HRESULT cg_GraphRun(CG_GRAPH* g);
PL_VISIBLE HRESULT cg_GraphStop(CG_GRAPH* g);
// S_OK with the state, VFW_S_STATE_INTERMEDIATE while changing after `ms`, E_FAIL.
PL_VISIBLE HRESULT cg_GraphGetState(CG_GRAPH* g, DWORD ms, CG_STATE* state);
// Video window: live frames are drawn over the owner window's client area
// at the given position. VFW_E_NO_VIDEO_WINDOW when nothing was rendered.
PL_VISIBLE HRESULT cg_VideoWindowSetOwner(CG_GRAPH* g, HWND owner);
PL_VISIBLE HRESULT cg_VideoWindowSetStyle(CG_GRAPH* g, LONG style);
PL_VISIBLE HRESULT cg_VideoWindowSetPosition(CG_GRAPH* g, LONG left, LONG top, LONG width, LONG height);
PL_VISIBLE HRESULT cg_VideoWindowSetVisible(CG_GRAPH* g, BOOL visible);

// Capture graph builder.
PL_VISIBLE HRESULT cg_CreateCaptureGraphBuilder(CG_BUILDER** out);
PL_VISIBLE void cg_BuilderRelease(CG_BUILDER* b);
PL_VISIBLE HRESULT cg_BuilderSetFiltergraph(CG_BUILDER* b, CG_GRAPH* g);
// The stream configuration of the source's capture pin (E_NOINTERFACE when it has none).
PL_VISIBLE HRESULT cg_BuilderFindStreamConfig(CG_BUILDER* b, CG_FILTER* source, CG_STREAMCONFIG** out);
// Connects the source's capture pin through `intermediate` (a sample grabber
// or NULL) to the default renderer. Both filters must be in the builder's graph.
PL_VISIBLE HRESULT cg_BuilderRenderStream(CG_BUILDER* b, CG_FILTER* source, CG_FILTER* intermediate);

// Stream configuration of a capture pin.
PL_VISIBLE void cg_StreamConfigRelease(CG_STREAMCONFIG* sc);
PL_VISIBLE HRESULT cg_StreamConfigGetNumberOfCapabilities(CG_STREAMCONFIG* sc, int* count, int* size);
// `caps` receives one 128-byte record; `*mt` a media type to free with DeleteMediaType.
PL_VISIBLE HRESULT cg_StreamConfigGetStreamCaps(CG_STREAMCONFIG* sc, int index, AM_MEDIA_TYPE** mt, BYTE* caps);
PL_VISIBLE HRESULT cg_StreamConfigSetFormat(CG_STREAMCONFIG* sc, const AM_MEDIA_TYPE* mt);
// The format in force: the one set, else the first capability.
PL_VISIBLE HRESULT cg_StreamConfigGetFormat(CG_STREAMCONFIG* sc, AM_MEDIA_TYPE** mt);
PL_VISIBLE void DeleteMediaType(AM_MEDIA_TYPE* mt);

// Sample grabber: passes the negotiated format through and hands every frame
// to the callback's BufferCB on the streaming thread (which = 1).
PL_VISIBLE HRESULT cg_CreateSampleGrabber(CG_FILTER** out);
PL_VISIBLE HRESULT cg_GrabberSetOneShot(CG_FILTER* grabber, BOOL oneShot);
PL_VISIBLE HRESULT cg_GrabberSetBufferSamples(CG_FILTER* grabber, BOOL buffer);
// `cb` NULL removes the callback; once this returns, the old one is no longer called.
PL_VISIBLE HRESULT cg_GrabberSetCallback(CG_FILTER* grabber, ISampleGrabberCB* cb, int which);

// A camera that could not be bound is looked for again in its USB port only
// here: at once when a video node came or went since the last listing,
// otherwise at most once every two seconds. Listing opens every video node,
// so a caller holding a lock that another thread waits for must not do it.
// The device check calls it before it takes its lock. 1 when it listed.
PL_VISIBLE int cg_RelistGoneCameras(void);

// The video device nodes (/dev/video*, real and emulated) that exist but that
// this user may not open, one per line; returns the number of nodes and
// copies at most size - 1 characters plus a 0.
PL_VISIBLE int cg_ForbiddenVideoNodes(char* text, int size);

// What the operator should do about the last error of the camera at
// `position` in the latest device listing, in Japanese (UTF-8), for errors
// that have a remedy (a USB bus without bandwidth); empty otherwise. Copies
// at most size - 1 bytes plus a 0 (never a part of a character) and returns
// the length copied.
PL_VISIBLE int cg_ListedCameraAdvice(int position, char* text, int size);

PL_END_C
