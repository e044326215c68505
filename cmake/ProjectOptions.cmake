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
  set_property(GLOBAL APPEND PROPERTY SV_SHIPPED_TARGETS ${target})
  install(TARGETS ${target} RUNTIME DESTINATION ${SV_INSTALL_DIR} LIBRARY DESTINATION ${SV_INSTALL_DIR})
endfunction()

# Tests and benchmarks live below out/ and find the shipped objects one up.
function(sv_tool_output target subdir)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${SV_OUT_DIR}/${subdir}"
    BUILD_RPATH "\$ORIGIN/..;\$ORIGIN")
endfunction()

# What ships is built with the hardening Debian builds its packages with:
# dpkg-buildflags' flags for hardening=+all (fortify, stack protector, format
# checks, relro, bind-now), plus stack clash protection and CET, which the
# newer dpkg adds and bookworm's does not yet. Only the shipped targets and
# our static libraries inside them get them; tests and benchmarks keep the
# preset's flags, and the sanitizer preset turns this off.
option(SV_HARDENING "Build the shipped programs with Debian's hardening flags" ON)
set(SV_HARDENING_COMPILE "")
set(SV_HARDENING_LINK "")
if(SV_HARDENING)
  find_program(SV_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND env DEB_BUILD_MAINT_OPTIONS=hardening=+all "${SV_DPKG_BUILDFLAGS}" --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    foreach(flag IN LISTS flags)
      # Optimisation, debug info and path maps stay the preset's; -Wformat
      # would lower the -Wformat=2 of sv_strict.
      if(flag MATCHES "^-D_FORTIFY_SOURCE=" AND CMAKE_BUILD_TYPE STREQUAL "Debug")
        continue()  # fortification needs an optimised build
      elseif(flag MATCHES "^-D_FORTIFY_SOURCE=|^-fstack-protector|^-fstack-clash-protection|^-fcf-protection|^-Werror=format-security")
        list(APPEND SV_HARDENING_COMPILE "${flag}")
      elseif(flag MATCHES "^-Wl,-z,")
        list(APPEND SV_HARDENING_LINK "${flag}")
      endif()
    endforeach()
  endforeach()
  include(CheckCXXCompilerFlag)
  foreach(flag -fstack-clash-protection -fcf-protection=full)
    string(REGEX REPLACE "=.*" "" stem "${flag}")
    string(MAKE_C_IDENTIFIER "SV_HAS${stem}" has)
    check_cxx_compiler_flag(${flag} ${has})
    if(${has} AND NOT SV_HARDENING_COMPILE MATCHES "${stem}")
      list(APPEND SV_HARDENING_COMPILE ${flag})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES SV_HARDENING_COMPILE)
  message(STATUS "Hardening of shipped targets: ${SV_HARDENING_COMPILE} ${SV_HARDENING_LINK}")
  # Runs once every directory has defined its targets and links.
  cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL sv_harden_shipped)
endif()

# Our static libraries a target links, at any depth.
function(sv_static_parts target out)
  set(parts "")
  get_target_property(links ${target} LINK_LIBRARIES)
  get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
  foreach(link IN LISTS links interface)
    if(TARGET "${link}")
      get_target_property(type "${link}" TYPE)
      get_target_property(imported "${link}" IMPORTED)
      if(type STREQUAL "STATIC_LIBRARY" AND NOT imported)
        sv_static_parts("${link}" deeper)
        list(APPEND parts "${link}" ${deeper})
      endif()
    endif()
  endforeach()
  set(${out} ${parts} PARENT_SCOPE)
endfunction()

function(sv_harden_shipped)
  get_property(shipped GLOBAL PROPERTY SV_SHIPPED_TARGETS)
  set(hardened "")
  foreach(target IN LISTS shipped)
    sv_static_parts(${target} parts)
    list(APPEND hardened ${target} ${parts})
    target_link_options(${target} PRIVATE ${SV_HARDENING_LINK})
  endforeach()
  list(REMOVE_DUPLICATES hardened)
  foreach(target IN LISTS hardened)
    target_compile_options(${target} PRIVATE ${SV_HARDENING_COMPILE})
  endforeach()
endfunction()
