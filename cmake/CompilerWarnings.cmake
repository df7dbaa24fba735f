# Strict warnings for our own targets, as an INTERFACE target they link privately.
# Warnings are errors in CI and the project's scripts (LINESIFT_WERROR=ON), not
# for whoever builds the project with another compiler.
option(LINESIFT_WERROR "Treat compiler warnings as errors" OFF)
add_library(linesift_warnings INTERFACE)
target_compile_options(linesift_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual
  -Wimplicit-fallthrough -Wformat=2 $<$<BOOL:${LINESIFT_WERROR}>:-Werror>)
# GCC 12 reports -Wrestrict inside libstdc++'s own std::basic_string code when
# it inlines operator+ at -O3 (GCC bug 105329); the warning is about the
# library, not our code, so it is off for that compiler.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(linesift_warnings INTERFACE -Wno-restrict)
endif()

# The core library must never see Qt: fail the configure step if anything gives it Qt.
function(linesift_forbid_qt target)
  get_target_property(libs ${target} LINK_LIBRARIES)
  get_target_property(interface_libs ${target} INTERFACE_LINK_LIBRARIES)
  foreach(lib IN LISTS libs interface_libs)
    if(lib MATCHES "Qt")
      message(FATAL_ERROR "${target} must not link ${lib}")
    endif()
  endforeach()
  file(GLOB_RECURSE sources ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(src IN LISTS sources)
    file(STRINGS ${src} hits REGEX "#[ \t]*include[ \t]*[<\"](Q[A-Za-z]|qt)")
    if(hits)
      message(FATAL_ERROR "${src} includes Qt; the core library is Qt-free")
    endif()
  endforeach()
endfunction()
