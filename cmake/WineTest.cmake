# Test executables run under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
# Each executable is one CTest test: a Wine process start costs about 0.5 s.
#
# quel_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>]
#               [TIMEOUT <seconds>] [RESOURCE_LOCK <locks...>] [NO_GTEST_MAIN])
function(quel_add_test)
  cmake_parse_arguments(T "NO_GTEST_MAIN" "NAME;TIMEOUT" "SOURCES;LIBS;RESOURCE_LOCK" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  if(T_NO_GTEST_MAIN)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest)
  else()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest gtest_main)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no
           WORKING_DIRECTORY $<TARGET_FILE_DIR:${T_NAME}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_RESOURCE_LOCK)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
endfunction()
