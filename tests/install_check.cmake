# Installs the build into a scratch prefix and checks the installed tree: the
# program with the installed-copy marker beside it, the manual page, the user
# manual where the program looks for it, and for the desktop program its menu
# entry and icons. The build folder's program has no marker beside it and so
# stays a portable copy.
foreach(var BUILD_DIR PREFIX BINDIR DATADIR MANDIR MARKER GUI MANUAL MANUAL_FROM_BINDIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(expected ${BINDIR}/linesift ${BINDIR}/${MARKER} ${MANDIR}/man1/linesift.1.gz
  ${MANUAL}/index.html ${MANUAL}/manual.css ${BINDIR}/${MANUAL_FROM_BINDIR}/index.html)
if(GUI)
  list(APPEND expected ${DATADIR}/applications/linesift.desktop
    ${DATADIR}/icons/hicolor/scalable/apps/linesift.svg)
  foreach(size 16 32 48 64 128 256)
    list(APPEND expected ${DATADIR}/icons/hicolor/${size}x${size}/apps/linesift.png)
  endforeach()
endif()
foreach(file IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "${PREFIX}/${file} was not installed")
  endif()
endforeach()
set(MANUAL_DIR "${PREFIX}/${MANUAL}")
include(${CMAKE_CURRENT_LIST_DIR}/manual_links_check.cmake)
if(NOT EXISTS "${BUILD_DIR}/manual/index.html")
  message(FATAL_ERROR "the build folder has no copy of the manual beside the program")
endif()
if(EXISTS "${BUILD_DIR}/${MARKER}")
  message(FATAL_ERROR "the build folder's program has an installed-copy marker beside it")
endif()

execute_process(COMMAND "${PREFIX}/${BINDIR}/linesift" --version RESULT_VARIABLE result
  OUTPUT_VARIABLE out)
if(NOT result EQUAL 0 OR NOT out MATCHES "^Linesift Version ")
  message(FATAL_ERROR "the installed program answered --version with ${result}: ${out}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
