# The link check over every generated HTML page set of the command-line cases
# (the cases compare those sets byte for byte with the program's output).
# It reads only the repository's files, so a cross build leaves it to the
# Linux build.
if(NOT CMAKE_CROSSCOMPILING)
  add_executable(html_link_check ${CMAKE_CURRENT_SOURCE_DIR}/html/link_check.cpp)
  add_test(NAME html_links COMMAND html_link_check --cases ${CMAKE_CURRENT_SOURCE_DIR}/cli)
endif()
