# The control screen program `selvane`: the Capture handler of one frame
# beside its floor, start-up to a shown control screen, a 60-second run of
# six units, publication under load with reader processes, and the input
# delay with an emulated webcam unplugged beside all plugged. It runs the
# program's pieces from the program directory (one up from the benchmark)
# and registers the built Korvex.OCX with the built regsvr32, so all of
# them must exist first.
if(TARGET selvane_app AND TARGET korvex AND TARGET regsvr32 AND TARGET plenkit)
  sv_bench(app_bench
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/app/app_bench_main.cpp
      ${CMAKE_CURRENT_LIST_DIR}/app/program_host.cpp
      ${CMAKE_CURRENT_LIST_DIR}/app/capture_handler_bench.cpp
      ${CMAKE_CURRENT_LIST_DIR}/app/startup_bench.cpp
      ${CMAKE_CURRENT_LIST_DIR}/app/startup_child.cpp
      ${CMAKE_CURRENT_LIST_DIR}/app/soak_bench.cpp
      ${CMAKE_CURRENT_LIST_DIR}/app/publication_soak_bench.cpp
      ${CMAKE_CURRENT_LIST_DIR}/app/unplugged_input_bench.cpp
    LIBS selvane_app camera_testing)
  target_include_directories(app_bench PRIVATE "${PROJECT_SOURCE_DIR}/tests/support")
  add_dependencies(app_bench selvane korvex plenkit quillo regsvr32)
  if(TARGET reader_probe)
    add_dependencies(app_bench reader_probe)  # the publication soak's reader processes
  endif()
endif()
