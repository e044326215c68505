# The capture control's capture cycle, driven as its host drives it, beside
# the bare GStreamer pipeline of the same frames. It registers the built
# Korvex.OCX with the built regsvr32, so both must exist first.
if(TARGET korvex AND TARGET regsvr32)
  pkg_check_modules(KORVEX_BENCH_GST REQUIRED IMPORTED_TARGET gstreamer-1.0 gstreamer-app-1.0)
  sv_bench(korvex_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/korvex_bench.cpp
    LIBS platform camera_testing korvex_ids Qt6::Widgets PkgConfig::KORVEX_BENCH_GST)
  add_dependencies(korvex_bench korvex regsvr32)
endif()
