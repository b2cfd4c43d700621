# Installation and the manual page.
#   install_tree: cmake --install into a temporary prefix finds the program
#     and the manual page at their GNUInstallDirs places.
#   manual_page: docs/pelorin.1 renders without a warning (mandoc -T lint,
#     else groff -ww); skipped when neither is installed.
# The same file, run with cmake -P, does the checks.
if(CMAKE_SCRIPT_MODE_FILE)
  if(CHECK STREQUAL "install")
    file(REMOVE_RECURSE "${PREFIX}")
    execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
      RESULT_VARIABLE status OUTPUT_QUIET)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "cmake --install failed: ${status}")
    endif()
    foreach(file "${BINDIR}/${PROGRAM}" "${MANDIR}/man1/pelorin.1")
      if(NOT EXISTS "${PREFIX}/${file}")
        message(FATAL_ERROR "not installed: ${file}")
      endif()
    endforeach()
    file(REMOVE_RECURSE "${PREFIX}")
  elseif(CHECK STREQUAL "manual")
    find_program(MANDOC mandoc)
    find_program(GROFF groff)
    if(MANDOC)
      execute_process(COMMAND "${MANDOC}" -T lint -W warning "${PAGE}"
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
    elseif(GROFF)
      execute_process(COMMAND "${GROFF}" -ww -man -z "${PAGE}"
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
    else()
      # CTest reads this line as "skipped" (SKIP_REGULAR_EXPRESSION below).
      message("manual page not checked: neither mandoc nor groff")
      return()
    endif()
    if(NOT status EQUAL 0 OR NOT out STREQUAL "")
      message(FATAL_ERROR "manual page warnings (${status}):\n${out}")
    endif()
  endif()
  return()
endif()

add_test(NAME install_tree COMMAND ${CMAKE_COMMAND} -DCHECK=install
  -DBUILD=${CMAKE_BINARY_DIR} -DPREFIX=${CMAKE_BINARY_DIR}/install_test
  -DBINDIR=${CMAKE_INSTALL_BINDIR} -DMANDIR=${CMAKE_INSTALL_MANDIR}
  -DPROGRAM=pelorin${CMAKE_EXECUTABLE_SUFFIX} -P ${CMAKE_CURRENT_LIST_FILE})
add_test(NAME manual_page COMMAND ${CMAKE_COMMAND} -DCHECK=manual
  -DPAGE=${PROJECT_SOURCE_DIR}/docs/pelorin.1 -P ${CMAKE_CURRENT_LIST_FILE})
set_tests_properties(manual_page PROPERTIES
  SKIP_REGULAR_EXPRESSION "manual page not checked: neither mandoc nor groff")
