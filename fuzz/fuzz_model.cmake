# The settings file reader and the cap.ctl decoder, fed arbitrary bytes. The
# model's and the publication library's record and settings sources are
# compiled into the target so the fuzzer sees their edges.
file(GLOB SV_MODEL_FUZZ_SOURCES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/app/model/*.cpp"
     "${PROJECT_SOURCE_DIR}/publication/record/*.cpp" "${PROJECT_SOURCE_DIR}/publication/settings/*.cpp")
sv_fuzz(fuzz_model SECONDS 20
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/model/fuzz_model.cpp ${SV_MODEL_FUZZ_SOURCES}
  LIBS Qt6::Core)
target_include_directories(fuzz_model PRIVATE "${PROJECT_SOURCE_DIR}/app/model/include"
                           "${PROJECT_SOURCE_DIR}/publication/include")
