# selvane-web's checks of slot files (JPEG and the station's BMP kinds) and
# the BMP to JPEG conversion, fed arbitrary bytes. The check's source is
# compiled into the target so the fuzzer sees its edges.
sv_fuzz(fuzz_web_picture SECONDS 15
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/web/fuzz_web_picture.cpp ${PROJECT_SOURCE_DIR}/web/picture.cpp
          ${PROJECT_SOURCE_DIR}/publication/reader/picture_check.cpp
  LIBS Qt6::Core PkgConfig::TURBOJPEG)
target_include_directories(fuzz_web_picture PRIVATE "${PROJECT_SOURCE_DIR}/web" "${PROJECT_SOURCE_DIR}/publication/include")
