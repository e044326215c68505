// The camera capture control "Korvex.OCX" as its host sees it: class and
// interface ids, dispatch numbers of the automation interface and its
// events, and the control's result codes. The host creates the control by
// CLSID_Korvex (pl_CreateControl) and calls it only by dispatch number.
#pragma once
#include "platform/com.h"

// {4EA7C846-AC98-465B-8B8C-E942F0C972F3}
static const CLSID CLSID_Korvex = {0x4ea7c846, 0xac98, 0x465b, {0x8b, 0x8c, 0xe9, 0x42, 0xf0, 0xc9, 0x72, 0xf3}};
// {016E454A-2ABC-4210-B9D0-4D56323C7AA6}
static const GUID LIBID_KorvexLib = {0x016e454a, 0x2abc, 0x4210, {0xb9, 0xd0, 0x4d, 0x56, 0x32, 0x3c, 0x7a, 0xa6}};
// {751AC007-1B33-42A3-AF81-4704582215A3}
static const IID DIID__DKorvex = {0x751ac007, 0x1b33, 0x42a3, {0xaf, 0x81, 0x47, 0x04, 0x58, 0x22, 0x15, 0xa3}};
// {E86576DF-C69F-4410-8E3B-3DD8AAE5F6AC}
static const IID DIID__DKorvexEvents = {0xe86576df, 0xc69f, 0x4410, {0x8e, 0x3b, 0x3d, 0xd8, 0xaa, 0xe5, 0xf6, 0xac}};
// {B9CD7C0B-734E-4D33-A59D-8C8AC365D195}
static const CLSID CLSID_KorvexPropPage = {
    0xb9cd7c0b, 0x734e, 0x4d33, {0xa5, 0x9d, 0x8c, 0x8a, 0xc3, 0x65, 0xd1, 0x95}};

#define KORVEX_PROGID "Korvex.KorvexCtrl.1"

// Dispatch interface _DKorvex. Unit numbers are 1-based in CaptureGo,
// SetCapWind and the events, 0-based in the Dsp* methods and WriteBmp.
enum KorvexDispid {
  DISPID_KORVEX_GetPreBmpWidth = 1,  // property: held width or 0
  DISPID_KORVEX_GetPreBmpHight = 2,  // property: held height or 0
  DISPID_KORVEX_GetPreBmpComp = 3,   // property: held compression or 0
  DISPID_KORVEX_GetUsbDevice = 4,    // (hwnd combo) -> 0 / 1
  DISPID_KORVEX_PreUsbGo = 5,        // (hwnd, devno) -> 0 / 1 / 2
  DISPID_KORVEX_PreUsbEnd = 6,       // () -> 0 / 1
  DISPID_KORVEX_DspComboText = 7,    // (hwnd combo, idx) -> 0
  DISPID_KORVEX_GetWinDir = 8,       // () -> string
  DISPID_KORVEX_PreViewFmtSet = 9,   // (size code, compression code) -> 0
  DISPID_KORVEX_InitCapture = 10,    // (units) -> 1 already, else an instance value
  DISPID_KORVEX_EndCapture = 11,     // () -> 0
  DISPID_KORVEX_CaptureGo = 12,      // (unit 1..12, fmtno, start frames) -> 0 queued / 1 refused
  DISPID_KORVEX_SetCapWind = 13,     // (unit 1..12, hwnd) -> 0 / 1
  DISPID_KORVEX_CaptureEnd = 14,     // () -> 0
  DISPID_KORVEX_CaptureStart = 15,   // (hwnd live-view owner) -> 0 / 1
  DISPID_KORVEX_SetSafeMode = 16,    // (mode) -> 0
  DISPID_KORVEX_DspFmtTyp = 17,      // (unit 0.., hwnd) -> 1 written / 0 refused
  DISPID_KORVEX_DspCmpTyp = 18,
  DISPID_KORVEX_DspGetSize = 19,
  DISPID_KORVEX_DspGetDay = 20,
  DISPID_KORVEX_WriteBmp = 21,  // (unit 0.., path) -> 0
  DISPID_KORVEX_AboutBox = DISPID_ABOUTBOX
};

// Event interface _DKorvexEvents.
enum KorvexEventDispid {
  DISPID_KORVEX_EVENT_Capture = 1,  // (unit 1..12, result code)
  DISPID_KORVEX_EVENT_CapDspNo = 2  // (unit 1..12): its capture begins
};

// Result codes of a capture (the Capture event's second argument).
enum KorvexCaptureResult { KORVEX_CAPTURED = 0, KORVEX_CAPTURE_FAILED = 1, KORVEX_NO_FORMAT = 2 };

// Size codes and compression codes; CaptureGo's fmtno = size + 16 x compression.
enum KorvexSizeCode { KORVEX_SIZE_640x480 = 1, KORVEX_SIZE_320x240 = 2, KORVEX_SIZE_160x124 = 3 };
enum KorvexCompressionCode { KORVEX_COMP_IYUV = 1, KORVEX_COMP_I420 = 2, KORVEX_COMP_RGB = 3 };

// The control's private messages to its own window.
#define WM_CAPTURE_RESULT 1125u    // wParam unit 1-based, lParam result code
#define WM_CAPTURE_EXEC 1126u      // wParam unit 0-based, lParam (start frames << 8) + fmtno
#define WM_CAPTURE_ANNOUNCE 1127u  // as WM_CAPTURE_EXEC
#define WM_CAPTURE_NEXT 1128u      // posted when a capture ends: the next queued request may leave
