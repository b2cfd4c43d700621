# Command-line cases: every folder of tests/cli run against the program by
# cli_runner, a Linux program (it forks and execs the program). A Windows
# cross build borrows the runner of a Linux build, given as
# -DPELORIN_HOST_CLI_RUNNER=build/tests/cli_runner, and runs pelorin.exe
# through Wine with the Windows expectations (tests/cli/README.md).
if(NOT WIN32)
  add_executable(cli_runner ${CMAKE_CURRENT_SOURCE_DIR}/runner/cli_runner.cpp)
  set_target_properties(cli_runner PROPERTIES CXX_STANDARD 17 CXX_EXTENSIONS OFF)
  add_test(NAME cli COMMAND cli_runner $<TARGET_FILE:pelorin> ${CMAKE_CURRENT_SOURCE_DIR}/cli)
else()
  set(PELORIN_HOST_CLI_RUNNER "" CACHE FILEPATH "cli_runner of a Linux build")
  if(PELORIN_HOST_CLI_RUNNER)
    add_test(NAME cli COMMAND ${PELORIN_HOST_CLI_RUNNER} --wrapper wine --windows
      $<TARGET_FILE:pelorin> ${CMAKE_CURRENT_SOURCE_DIR}/cli)
  endif()
endif()
