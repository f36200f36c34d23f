# rv_cups_test_env(<test program>): gives every test of the program the
# environment of the private cupsd and makes it require the fixture "cupsd".
# (The properties are set once the tests are discovered, so that the
# environment list reaches each test whole.)
function(rv_cups_test_env name)
  set(file ${CMAKE_CURRENT_BINARY_DIR}/${name}_cups_env.cmake)
  file(WRITE ${file}
    "set_tests_properties(\${${name}_TESTS} PROPERTIES\n"
    "  ENVIRONMENT \"RV_SOURCE_DIR=${CMAKE_SOURCE_DIR};RV_BINARY_DIR=${CMAKE_BINARY_DIR};CUPS_SERVER=${RV_CUPS_DIR}/run/cups.sock;RV_CUPS_DIR=${RV_CUPS_DIR}\"\n"
    "  FIXTURES_REQUIRED cupsd)\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${file})
endfunction()
