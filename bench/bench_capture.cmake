pkg_check_modules(SV_BENCH_GST REQUIRED IMPORTED_TARGET gstreamer-1.0 gstreamer-app-1.0)
sv_bench(capture_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/capture_bench.cpp
  LIBS camera_testing PkgConfig::SV_BENCH_GST)
