# Warnings for our own targets; third-party headers come in as system headers.
function(sv_strict target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Wformat=2 -Wimplicit-fallthrough -Wundef)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wlogical-op -Wduplicated-cond)
  endif()
  if(SV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A shipped binary: strict warnings, $ORIGIN rpath, installed into the one
# program directory.
function(sv_shipped target)
  sv_strict(${target})
  install(TARGETS ${target} RUNTIME DESTINATION ${SV_INSTALL_DIR} LIBRARY DESTINATION ${SV_INSTALL_DIR})
endfunction()

# Tests and benchmarks live below out/ and find the shipped objects one up.
function(sv_tool_output target subdir)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${SV_OUT_DIR}/${subdir}"
    BUILD_RPATH "\$ORIGIN/..;\$ORIGIN")
endfunction()
