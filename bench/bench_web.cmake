# selvane-web: marker flip to stream client, fan-out to 100 clients beside
# direct socket writes and over HTTPS beside HTTP, one /metrics scrape, a
# picture to its tile in a browser over HTTPS, and a soak of the real program
# (--soak_seconds=N), and the real program under attack (hostile shares,
# stalled and slow-header clients).
if(TARGET selvane_web)
  find_package(Qt6 REQUIRED COMPONENTS Network)
  sv_bench(web_bench
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/web/web_bench_main.cpp
      ${CMAKE_CURRENT_LIST_DIR}/web/latency_fanout_bench.cpp
      ${CMAKE_CURRENT_LIST_DIR}/web/soak_bench.cpp
      ${CMAKE_CURRENT_LIST_DIR}/web/attack_bench.cpp
      ${CMAKE_CURRENT_LIST_DIR}/web/metrics_bench.cpp
      ${CMAKE_CURRENT_LIST_DIR}/web/tls_fanout_bench.cpp
      ${CMAKE_CURRENT_LIST_DIR}/web/page_latency_bench.cpp
      ${PROJECT_SOURCE_DIR}/tests/web/support/headless_chromium.cpp
      ${PROJECT_SOURCE_DIR}/tests/web/support/publish_picture.cpp
      ${PROJECT_SOURCE_DIR}/tests/web/support/raw_client.cpp
    LIBS selvane_web selvane_publication Qt6::Network crypt)
  target_include_directories(web_bench PRIVATE "${PROJECT_SOURCE_DIR}/tests/web/support" "${CMAKE_CURRENT_LIST_DIR}/web")
  add_dependencies(web_bench selvane-web)
endif()
