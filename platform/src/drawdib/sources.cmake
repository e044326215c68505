list(APPEND PL_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/dib_picture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dib_convert.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drawdib.cpp)
