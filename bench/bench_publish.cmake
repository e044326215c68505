# Publication in a write directory: the atomic store beside the direct one.
if(TARGET selvane_publication)
  sv_bench(publish_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/publish/store_bench.cpp LIBS selvane_publication)
endif()
# The store and the change seen by readers through the shipped Samba share.
if(TARGET loopback_share)
  sv_bench(publish_share_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/publish/share_bench.cpp LIBS loopback_share)
  add_dependencies(publish_share_bench reader_probe)
endif()
