# Command-line cases: every folder of tests/cli run against the program by
# cli_runner (POSIX only: it forks and execs the program).
if(NOT WIN32)
  add_executable(cli_runner ${CMAKE_CURRENT_SOURCE_DIR}/runner/cli_runner.cpp)
  set_target_properties(cli_runner PROPERTIES CXX_STANDARD 17 CXX_EXTENSIONS OFF)
  add_test(NAME cli COMMAND cli_runner $<TARGET_FILE:pelorin> ${CMAKE_CURRENT_SOURCE_DIR}/cli)
endif()
