# Runs the program as a user would for --help, --version and a bad option, and
# checks that the manual page names every option the help names.
foreach(var PROGRAM MANUAL VERSION_TEXT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

function(run_program expected_status)
  execute_process(COMMAND "${PROGRAM}" ${ARGN} RESULT_VARIABLE status
    OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "linesift ${ARGN}: exit status ${status}, not ${expected_status}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect_text haystack needle what)
  string(FIND "${haystack}" "${needle}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${what} lacks '${needle}':\n${haystack}")
  endif()
endfunction()

run_program(0 --help)
expect_text("${out}" "Usage: linesift [FILE]" "--help")
if(NOT err STREQUAL "")
  message(FATAL_ERROR "--help wrote to stderr: ${err}")
endif()
set(help "${out}")

run_program(0 --version)
if(NOT out STREQUAL "Linesift ${VERSION_TEXT}\n")
  message(FATAL_ERROR "--version printed '${out}', not 'Linesift ${VERSION_TEXT}'")
endif()

run_program(2 --no-such-option app.log)
expect_text("${err}" "linesift: unknown option '--no-such-option'\n" "the error")
expect_text("${err}" "Try 'linesift --help' for more information.\n" "the error")
if(NOT out STREQUAL "")
  message(FATAL_ERROR "a bad option wrote to stdout: ${out}")
endif()

# Help that cannot be written is a failure, not a success.
execute_process(COMMAND "${PROGRAM}" --help OUTPUT_FILE /dev/full RESULT_VARIABLE status
  ERROR_VARIABLE err)
if(NOT status EQUAL 2)
  message(FATAL_ERROR "--help into a full device: exit status ${status}, not 2")
endif()

file(READ "${MANUAL}" manual)
string(REPLACE "\\-" "-" manual "${manual}")
# The option table's rows start with "  -x, --name" or "      --name".
string(REGEX MATCHALL "\n  (-[a-zA-Z], |    )--[a-z][a-z-]*" rows "${help}")
list(TRANSFORM rows REPLACE "^\n *" "")
string(REPLACE ", " ";" options "${rows}")
list(LENGTH options count)
if(count LESS 14)
  message(FATAL_ERROR "found only ${count} options in the help: ${options}")
endif()
foreach(option IN LISTS options)
  expect_text("${manual}" "${option}" "the manual page")
endforeach()
foreach(section "EXIT STATUS" "FILES" "Settings.xml" "LINESIFT_DATA_DIR")
  expect_text("${manual}" "${section}" "the manual page")
endforeach()
