# The link check over every generated HTML page set of the command-line cases
# (the cases compare those sets byte for byte with the program's output), and
# over the page set of the bundled sample, made anew by the test: every link
# must land on an anchor of the page it names. It reads only the repository's
# files and what the Linux program writes, so a cross build leaves it to the
# Linux build. The same file, run with cmake -P, makes the sample's set.
if(CMAKE_SCRIPT_MODE_FILE)
  file(REMOVE_RECURSE "${WORK}")
  file(MAKE_DIRECTORY "${WORK}/html")
  execute_process(COMMAND "${PROGRAM}" -m "${SAMPLE}.map" -o 80000000 -a 80000000 -A -n 300
      -h html -NO "${SAMPLE}.bin"
    WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "pelorin failed on the sample: ${status}")
  endif()
  execute_process(COMMAND "${CHECK}" "${WORK}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "links of the sample's page set: ${status}")
  endif()
  file(REMOVE_RECURSE "${WORK}")
  return()
endif()

if(NOT CMAKE_CROSSCOMPILING)
  add_executable(html_link_check ${CMAKE_CURRENT_SOURCE_DIR}/html/link_check.cpp)
  add_test(NAME html_links COMMAND html_link_check --cases ${CMAKE_CURRENT_SOURCE_DIR}/cli)
  add_test(NAME html_links_sample COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:pelorin>
    -DCHECK=$<TARGET_FILE:html_link_check> -DSAMPLE=${PROJECT_SOURCE_DIR}/examples/firmware
    -DWORK=${CMAKE_CURRENT_BINARY_DIR}/html_links_sample -P ${CMAKE_CURRENT_LIST_FILE})
endif()
