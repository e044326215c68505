# Component model: class registry file, runtime, registration records, hosting.
list(APPEND PL_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/reg_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/register.cpp
  ${CMAKE_CURRENT_LIST_DIR}/runtime.cpp
  ${CMAKE_CURRENT_LIST_DIR}/variant.cpp
  ${CMAKE_CURRENT_LIST_DIR}/control.cpp)
