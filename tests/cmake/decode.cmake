# Decoder expectations: tests/data/decode_words.txt, read by decode_test.cpp.
target_compile_definitions(unit_tests PRIVATE
  PELORIN_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
