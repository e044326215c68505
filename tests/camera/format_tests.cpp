// Capabilities of capture pins: records, media types, setting and reading
// the format in force, and the capability list derived for real cameras.
#include <cstring>
#include <tuple>

#include "capture_internal.h"
#include "capture_test_support.h"

namespace {

constexpr GUID kVideo = {0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID kRgb24 = {0xe436eb7d, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
constexpr GUID kRgb32 = {0xe436eb7e, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
constexpr GUID kVideoInfo = {0x05589f80, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};

bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// width, height, compression, bit count, image size
using Shape = std::tuple<LONG, LONG, DWORD, WORD, DWORD>;

struct Listed {
  Shape shape;
  VIDEO_STREAM_CONFIG_CAPS record;
  AM_MEDIA_TYPE type;  // without its format block
};

Shape shapeOf(const BITMAPINFOHEADER& h) {
  return {h.biWidth, h.biHeight, h.biCompression, h.biBitCount, h.biSizeImage};
}

class StreamConfigTest : public CaptureTest {
 protected:
  // Builds device 0 of the cameras given and takes its stream configuration.
  void open(const std::vector<CG_VCAM_SPEC>& specs) {
    useCameras(specs);
    graph_ = std::make_unique<CaptureGraph>(0);
    ASSERT_NE(graph_->source, nullptr);
    ASSERT_EQ(cg_BuilderFindStreamConfig(graph_->builder, graph_->source, &sc_), S_OK);
  }
  void TearDown() override {
    cg_StreamConfigRelease(sc_);
    graph_.reset();
    CaptureTest::TearDown();
  }
  std::vector<Listed> list() {
    int count = 0, size = 0;
    EXPECT_EQ(cg_StreamConfigGetNumberOfCapabilities(sc_, &count, &size), S_OK);
    EXPECT_EQ(size, 128);
    std::vector<Listed> all;
    for (int i = 0; i < count; ++i) {
      AM_MEDIA_TYPE* mt = nullptr;
      BYTE record[128];
      EXPECT_EQ(cg_StreamConfigGetStreamCaps(sc_, i, &mt, record), S_OK);
      if (!mt) continue;
      Listed l{shapeOf(testkit::videoInfoOf(mt).bmiHeader), {}, *mt};
      std::memcpy(&l.record, record, sizeof record);
      l.type.pbFormat = nullptr;
      EXPECT_EQ(mt->cbFormat, 88u);
      DeleteMediaType(mt);
      all.push_back(l);
    }
    return all;
  }
  Shape current() {
    AM_MEDIA_TYPE* mt = nullptr;
    EXPECT_EQ(cg_StreamConfigGetFormat(sc_, &mt), S_OK);
    const Shape s = mt ? shapeOf(testkit::videoInfoOf(mt).bmiHeader) : Shape{};
    DeleteMediaType(mt);
    return s;
  }
  HRESULT setFormat(LONG w, LONG h, DWORD compression, WORD bits) {
    VIDEOINFOHEADER vih{};
    vih.bmiHeader.biSize = 40;
    vih.bmiHeader.biWidth = w;
    vih.bmiHeader.biHeight = h;
    vih.bmiHeader.biBitCount = bits;
    vih.bmiHeader.biCompression = compression;
    AM_MEDIA_TYPE mt{};
    mt.majortype = kVideo;
    mt.formattype = kVideoInfo;
    mt.cbFormat = sizeof vih;
    mt.pbFormat = reinterpret_cast<BYTE*>(&vih);
    return cg_StreamConfigSetFormat(sc_, &mt);
  }

  std::unique_ptr<CaptureGraph> graph_;
  CG_STREAMCONFIG* sc_ = nullptr;
};

TEST_F(StreamConfigTest, DefaultVirtualCameraListsFourSizesInThreeFormats) {
  open({{nullptr, nullptr, 0, 0, 0}});
  const std::vector<Listed> all = list();
  const std::vector<Shape> expected = {
      {640, 480, FOURCC_I420, 12, 460800}, {640, 480, FOURCC_IYUV, 12, 460800}, {640, 480, BI_RGB, 24, 921600},
      {320, 240, FOURCC_I420, 12, 115200}, {320, 240, FOURCC_IYUV, 12, 115200}, {320, 240, BI_RGB, 24, 230400},
      {160, 124, FOURCC_I420, 12, 29760},  {160, 124, FOURCC_IYUV, 12, 29760},  {160, 124, BI_RGB, 24, 59520},
      {160, 120, FOURCC_I420, 12, 28800},  {160, 120, FOURCC_IYUV, 12, 28800},  {160, 120, BI_RGB, 24, 57600}};
  ASSERT_EQ(all.size(), expected.size());
  for (size_t i = 0; i < all.size(); ++i) {
    SCOPED_TRACE(i);
    const Listed& l = all[i];
    EXPECT_EQ(l.shape, expected[i]);
    const auto [w, h, compression, bits, size] = expected[i];
    EXPECT_TRUE(l.record.guid == kVideoInfo);
    EXPECT_EQ(l.record.InputSize.cx, w);
    EXPECT_EQ(l.record.InputSize.cy, h);
    EXPECT_EQ(l.record.MaxOutputSize.cx, w);
    EXPECT_EQ(l.record.MinOutputSize.cy, h);
    EXPECT_EQ(l.record.MinFrameInterval, 333333);
    EXPECT_TRUE(l.type.majortype == kVideo);
    EXPECT_TRUE(l.type.formattype == kVideoInfo);
    const GUID fourcc = {compression, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    EXPECT_TRUE(l.type.subtype == (compression == BI_RGB ? kRgb24 : fourcc));
    EXPECT_EQ(l.type.lSampleSize, size);
    EXPECT_TRUE(l.type.bFixedSizeSamples);
  }
}

TEST_F(StreamConfigTest, CustomListsKeepTheirOrderBitCountsAndOddSizes) {
  const CG_VCAM_CAP caps[] = {{320, 240, BI_RGB, 32},
                              {320, 240, BI_RGB, 24},
                              {50, 20, BI_RGB, 24},
                              {51, 31, FOURCC_I420, 12},
                              {64, 48, PL_FOURCC('Y', 'U', 'Y', '2'), 16}};
  open({{"Custom", caps, 5, 0, 0}});
  const std::vector<Listed> all = list();
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[0].shape, (Shape{320, 240, BI_RGB, 32, 307200}));
  EXPECT_TRUE(all[0].type.subtype == kRgb32);
  EXPECT_EQ(all[1].shape, (Shape{320, 240, BI_RGB, 24, 230400}));
  // Rows padded to 4 bytes: 150 -> 152.
  EXPECT_EQ(all[2].shape, (Shape{50, 20, BI_RGB, 24, 152 * 20}));
  // Chroma planes of an odd size round up: 26 x 16 each.
  EXPECT_EQ(all[3].shape, (Shape{51, 31, FOURCC_I420, 12, 51 * 31 + 2 * 26 * 16}));
  EXPECT_EQ(all[4].shape, (Shape{64, 48, PL_FOURCC('Y', 'U', 'Y', '2'), 16, 64 * 48 * 2}));
}

TEST_F(StreamConfigTest, FormatInForceIsTheOneSetElseTheFirst) {
  const CG_VCAM_CAP caps[] = {{160, 120, FOURCC_I420, 12}, {320, 240, BI_RGB, 24}, {320, 240, BI_RGB, 32}};
  open({{"Three", caps, 3, 0, 0}});
  EXPECT_EQ(current(), (Shape{160, 120, FOURCC_I420, 12, 28800}));
  EXPECT_EQ(setFormat(320, 240, BI_RGB, 32), S_OK);
  EXPECT_EQ(current(), (Shape{320, 240, BI_RGB, 32, 307200}));
  EXPECT_EQ(setFormat(320, 240, BI_RGB, 24), S_OK);
  EXPECT_EQ(current(), (Shape{320, 240, BI_RGB, 24, 230400}));
  // Nothing like it: refused, the format stays.
  EXPECT_EQ(setFormat(800, 600, BI_RGB, 24), VFW_E_INVALIDMEDIATYPE);
  EXPECT_EQ(setFormat(160, 124, FOURCC_I420, 12), VFW_E_INVALIDMEDIATYPE);
  EXPECT_EQ(current(), (Shape{320, 240, BI_RGB, 24, 230400}));

  // Malformed media types.
  EXPECT_EQ(cg_StreamConfigSetFormat(sc_, nullptr), E_POINTER);
  AM_MEDIA_TYPE bare{};
  EXPECT_EQ(cg_StreamConfigSetFormat(sc_, &bare), VFW_E_INVALIDMEDIATYPE);
  bare.formattype = kVideoInfo;
  bare.cbFormat = 40;
  BYTE shortBlock[40] = {};
  bare.pbFormat = shortBlock;
  EXPECT_EQ(cg_StreamConfigSetFormat(sc_, &bare), VFW_E_INVALIDMEDIATYPE);

  // Indices outside the list.
  AM_MEDIA_TYPE* mt = reinterpret_cast<AM_MEDIA_TYPE*>(1);
  BYTE record[128];
  EXPECT_EQ(cg_StreamConfigGetStreamCaps(sc_, 3, &mt, record), E_INVALIDARG);
  EXPECT_EQ(mt, nullptr);
  EXPECT_EQ(cg_StreamConfigGetStreamCaps(sc_, -1, &mt, record), E_INVALIDARG);
  DeleteMediaType(nullptr);
}

TEST_F(StreamConfigTest, FormatIsFixedWhileAStreamIsRenderedFromThePin) {
  open({{nullptr, nullptr, 0, 0, 0}});
  ASSERT_EQ(graph_->render(false), S_OK);
  EXPECT_EQ(setFormat(320, 240, BI_RGB, 24), E_UNEXPECTED);
  // Taking the source out of the graph disconnects it.
  ASSERT_EQ(cg_GraphRemoveFilter(graph_->graph, graph_->source), S_OK);
  EXPECT_EQ(setFormat(320, 240, BI_RGB, 24), S_OK);
}

TEST_F(CaptureTest, PinsWithoutStreamConfigurationAndGrabbersHaveNone) {
  useCameras({{"No config", nullptr, 0, 0, CG_VCAM_NO_STREAM_CONFIG}});
  CaptureGraph g(0);
  ASSERT_NE(g.source, nullptr);
  CG_STREAMCONFIG* sc = reinterpret_cast<CG_STREAMCONFIG*>(1);
  EXPECT_EQ(cg_BuilderFindStreamConfig(g.builder, g.source, &sc), E_NOINTERFACE);
  EXPECT_EQ(sc, nullptr);
  // It still renders, in its first format.
  EXPECT_EQ(g.render(true), S_OK);
  EXPECT_EQ(cg_BuilderFindStreamConfig(g.builder, g.grabber, &sc), E_NOINTERFACE);
}

TEST(RealCameraCapabilities, NativeFormatsThenConvertedOnesAtEachSize) {
  using pl::capture::Capability;
  const std::vector<Capability> caps = pl::capture::detail::realCapabilitiesOf(
      "video/x-raw, format=YUY2, width=640, height=480, framerate={ 30/1, 15/1 }; "
      "video/x-raw, format=YUY2, width=320, height=240, framerate=30/1; "
      "image/jpeg, width=1280, height=720, framerate=30/1; "
      "image/jpeg, width=640, height=480, framerate=30/1; "
      "video/x-raw, format=NV12, width=[ 1, 100 ], height=[ 1, 100 ]; "
      "video/x-raw, format=YUY2, width=640, height=480, framerate=5/1");
  std::vector<std::tuple<LONG, LONG, DWORD, WORD, bool>> got;
  for (const Capability& c : caps) got.emplace_back(c.width, c.height, c.compression, c.bitCount, c.sourceIsJpeg);
  const DWORD yuy2 = PL_FOURCC('Y', 'U', 'Y', '2'), mjpg = PL_FOURCC('M', 'J', 'P', 'G');
  const std::vector<std::tuple<LONG, LONG, DWORD, WORD, bool>> expected = {
      {640, 480, yuy2, 16, false},   {320, 240, yuy2, 16, false},        {1280, 720, mjpg, 24, true},
      {640, 480, mjpg, 24, true},    {640, 480, FOURCC_I420, 12, false}, {640, 480, FOURCC_IYUV, 12, false},
      {640, 480, BI_RGB, 24, false}, {320, 240, FOURCC_I420, 12, false}, {320, 240, FOURCC_IYUV, 12, false},
      {320, 240, BI_RGB, 24, false}, {1280, 720, FOURCC_I420, 12, true}, {1280, 720, FOURCC_IYUV, 12, true},
      {1280, 720, BI_RGB, 24, true}};
  EXPECT_EQ(got, expected);
  EXPECT_EQ(caps[0].framesPerSecond, 30);
  EXPECT_EQ(caps[4].sourceCaps, "video/x-raw,width=640,height=480");
  EXPECT_EQ(caps[10].sourceCaps, "image/jpeg,width=1280,height=720");
  EXPECT_TRUE(pl::capture::detail::realCapabilitiesOf("not caps at all ((").empty());
}

}  // namespace
