# velmor_add_test(NAME tst_x SOURCES a.cpp LIBS lib... [GUI])
# Every test runs headless; GUI tests get the offscreen platform and a private
# registry file and configuration, data and cache folders so they never touch
# the user's settings or side files.
function(velmor_add_test)
  cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test velmor_warnings velmor_sanitizers)
  target_compile_definitions(${T_NAME} PRIVATE
    VELMOR_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    VELMOR_SAMPLES="${PROJECT_SOURCE_DIR}/samples")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VELMOR_REGISTRY=${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}.registry.ini;VELMOR_CONFIG=${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}.config;XDG_DATA_HOME=${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}.xdg/data;XDG_CACHE_HOME=${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}.xdg/cache"
    TIMEOUT 300)
endfunction()
