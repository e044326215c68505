list(APPEND PL_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/handle_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dispatcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mouse_messages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_api.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_context.cpp)
