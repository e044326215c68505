# Arbitrary files through BitMapOpen, the transforms and the JPEG encoder.
# The library's sources are compiled into the target so that the fuzzer sees
# their coverage.
get_target_property(PLENKIT_FUZZ_SOURCES plenkit SOURCES)
get_target_property(PLENKIT_FUZZ_DIR plenkit SOURCE_DIR)
list(TRANSFORM PLENKIT_FUZZ_SOURCES PREPEND "${PLENKIT_FUZZ_DIR}/")
sv_fuzz(fuzz_imagelib
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/imagelib/fuzz_bitmap_open.cpp ${PLENKIT_FUZZ_SOURCES}
  LIBS platform quillo testkit_pictures SECONDS 30)
target_include_directories(fuzz_imagelib PRIVATE "${PLENKIT_FUZZ_DIR}" "${PLENKIT_FUZZ_DIR}/include")
