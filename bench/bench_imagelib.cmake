# The image library's stages of one 640 x 480 frame, each beside its floor.
sv_bench(bench_imagelib SOURCES ${CMAKE_CURRENT_LIST_DIR}/imagelib/bench_imagelib.cpp
         LIBS plenkit quillo testkit_pictures libyuv::libyuv)
