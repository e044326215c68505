# The registry file parser, fed arbitrary bytes.
sv_fuzz(registry_fuzz SECONDS 20
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry_fuzz.cpp ${PROJECT_SOURCE_DIR}/platform/src/com/reg_file.cpp
  LIBS Qt6::Core)
target_include_directories(registry_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/platform/src)
