# Installs the build into a scratch prefix and checks that the program and the
# installed-copy marker land side by side, while the build folder's program
# has no marker beside it and so stays a portable copy.
foreach(var BUILD_DIR PREFIX BINDIR MARKER)
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
foreach(file linesift ${MARKER})
  if(NOT EXISTS "${PREFIX}/${BINDIR}/${file}")
    message(FATAL_ERROR "${PREFIX}/${BINDIR}/${file} was not installed")
  endif()
endforeach()
if(EXISTS "${BUILD_DIR}/${MARKER}")
  message(FATAL_ERROR "the build folder's program has an installed-copy marker beside it")
endif()
file(REMOVE_RECURSE "${PREFIX}")
