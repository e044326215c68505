list(APPEND PL_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/gst_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/formats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/real_devices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/virtual_cameras.cpp
  ${CMAKE_CURRENT_LIST_DIR}/uvc_emulation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/uvc_plugin.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_errors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_stamp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/grabber.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rendered_graph.cpp
  ${CMAKE_CURRENT_LIST_DIR}/api_devices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/api_graph.cpp
  ${CMAKE_CURRENT_LIST_DIR}/api_stream_config.cpp
  ${CMAKE_CURRENT_LIST_DIR}/internal_hooks.cpp)
