# Publication in a write directory: the atomic store beside the direct one.
if(TARGET selvane_publication)
  sv_bench(publish_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/publish/store_bench.cpp LIBS selvane_publication)
endif()
