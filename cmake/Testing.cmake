# velmor_add_test(NAME tst_x SOURCES a.cpp LIBS lib... [GUI])
# Every test program is linked with tests/sandbox.cpp, which points HOME, the
# XDG folders, VELMOR_REGISTRY and VELMOR_CONFIG into a folder of its own
# before main, so no test, however started, touches the user's files.
add_library(velmor_test_sandbox OBJECT ${PROJECT_SOURCE_DIR}/tests/sandbox.cpp)
target_link_libraries(velmor_test_sandbox PRIVATE velmor_warnings velmor_sanitizers)

function(velmor_add_test)
  cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES} $<TARGET_OBJECTS:velmor_test_sandbox>)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test velmor_warnings velmor_sanitizers)
  target_compile_definitions(${T_NAME} PRIVATE
    VELMOR_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    VELMOR_SAMPLES="${PROJECT_SOURCE_DIR}/samples")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    TIMEOUT 300)
endfunction()
