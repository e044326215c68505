sv_bench(drawdib_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/drawdib_bench.cpp
  LIBS platform libyuv::libyuv Qt6::Widgets)
