// Hooks that make virtual cameras and emulated UVC webcams in code, for
// tests and benchmarks. Not part of the shipped interface (camera/capture.h):
// only test and benchmark targets see this header, through camera_testing.
// The functions are exported by the capture graph service like the rest.
//
// Threads: any thread; each table of cameras is guarded by its own lock, and
// devices and graphs already made keep the descriptions they were given.
#pragma once
#include "camera/capture.h"

// Virtual cameras made in code (tests, benchmarks).
#define CG_VCAM_CANNOT_OPEN 0x1u       // listed, but binding it fails
#define CG_VCAM_NO_STREAM_CONFIG 0x2u  // its capture pin has no stream configuration
#define CG_VCAM_NO_FRAMES 0x4u         // runs but never delivers a frame
#define CG_VCAM_VANISHES 0x8u          // listed once; gone (cannot bind, not listed) afterwards

typedef struct CG_VCAM_CAP {
  LONG width, height;
  DWORD compression;  // FOURCC_I420, FOURCC_IYUV, PL_FOURCC('Y','U','Y','2') or BI_RGB
  WORD bitCount;      // 12 for planar, 16 for YUY2, 24 or 32 for RGB
} CG_VCAM_CAP;

typedef struct CG_VCAM_SPEC {
  const char* name;         // friendly name; NULL: "Virtual Camera <n>"
  const CG_VCAM_CAP* caps;  // NULL: the default list
  int capCount;
  int framesPerSecond;  // 0: 30
  DWORD faults;         // CG_VCAM_*
} CG_VCAM_SPEC;

// Emulated UVC webcams (tests, benchmarks, the demo with $VCAM_UVC=1): listed
// among the real cameras by a device provider that presents them as the V4L2
// provider presents USB cameras, each with a video node and a metadata-only
// node, offering native YUY2 and MJPG at the sizes of a typical 720p webcam.
typedef enum CG_UVC_STATE {
  CG_UVC_PLUGGED = 0,        // streams; plugging an unplugged camera gives it new node numbers
  CG_UVC_UNPLUGGED = 1,      // its nodes are gone; a stream under way fails with "No such device"
  CG_UVC_BUSY = 2,           // opens, but setting a format fails: "Device '...' is busy"
  CG_UVC_NO_PERMISSION = 3,  // its nodes exist but cannot be opened (not in the video group)
  CG_UVC_NO_FORMATS = 4,     // opens, but lists no format
  CG_UVC_NO_BANDWIDTH = 5    // sets its format, but starting the stream fails as on a USB bus
                             // without the bandwidth left: STREAMON "No space left on device"
} CG_UVC_STATE;

typedef struct CG_UVC_SPEC {
  const char* name;  // display name; NULL: "USB2.0 HD UVC WebCam"
  int port;          // USB port number 1..99 (its port path); 0: its position + 1
} CG_UVC_SPEC;

PL_BEGIN_C

// Replaces the virtual cameras (count 0 removes them; at most 20). Devices
// already handed out keep working unless they were made to vanish.
PL_VISIBLE HRESULT cg_SetVirtualCameras(const CG_VCAM_SPEC* specs, int count);

// Replaces the emulated UVC cameras (count 0 removes them; at most 20) and
// changes the state of one of them (0-based).
PL_VISIBLE HRESULT cg_SetUvcCameras(const CG_UVC_SPEC* specs, int count);
PL_VISIBLE HRESULT cg_SetUvcCameraState(int camera, CG_UVC_STATE state);

PL_END_C
