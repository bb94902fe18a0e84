# Test executables run under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
# Each executable is one CTest test: a Wine process start costs about 0.5 s.
#
# quel_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>]
#               [TIMEOUT <seconds>] [RESOURCE_LOCK <locks...>] [NO_GTEST_MAIN]
#               [UNMANAGED_WINDOWS])
#
# UNMANAGED_WINDOWS: the test program's own windows need no window manager
# (quel_unmanaged_windows below).
# Where this kernel runs no 32-bit x86 code, the tests run in a software-emulated
# PC (scripts/with-ia32.sh) a few times slower: their time-outs grow with it.
if(NOT DEFINED QUEL_TIMEOUT_SCALE)
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/needs-ia32-vm.sh
                  RESULT_VARIABLE needs_vm OUTPUT_QUIET ERROR_QUIET)
  if(needs_vm EQUAL 0)
    set(scale 3)
  else()
    set(scale 1)
  endif()
  set(QUEL_TIMEOUT_SCALE ${scale} CACHE STRING "Factor on every test's time-out")
endif()

function(quel_add_test)
  cmake_parse_arguments(T "NO_GTEST_MAIN;UNMANAGED_WINDOWS" "NAME;TIMEOUT" "SOURCES;LIBS;RESOURCE_LOCK" ${ARGN})
  # What a test program starts ends with it, also when the runner kills it.
  add_executable(${T_NAME} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/testing/ChildrenEndWithTheTest.cpp)
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
  math(EXPR T_TIMEOUT "${T_TIMEOUT} * ${QUEL_TIMEOUT_SCALE}")
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_RESOURCE_LOCK)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
  if(T_UNMANAGED_WINDOWS)
    quel_unmanaged_windows(${T_NAME} ${T_NAME}.exe)
  endif()
endfunction()

# quel_unmanaged_windows(<test> <program file name>)
#
# Wine waits up to two seconds for a window manager to withdraw every hidden
# top-level window, and Xvfb has none: a setup test, <test>_unmanaged, first
# tells Wine that the windows of the program (the test's own, or one it starts)
# need no manager.
function(quel_unmanaged_windows test program)
  add_test(NAME ${test}_unmanaged
    COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh reg add
            "HKCU\\Software\\Wine\\AppDefaults\\${program}\\X11 Driver"
            /v Managed /d N /f)
  set_tests_properties(${test}_unmanaged PROPERTIES FIXTURES_SETUP ${test}_unmanaged)
  set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED ${test}_unmanaged)
endfunction()

# quel_add_cp1251_run(<test> <gtest filter>)
#
# The test <test>_cp1251 runs the cases of <test> that the filter picks again in
# a Russian locale, where Wine's ANSI code page is 1251 (scripts/setup.sh
# generates the locale), with the original's locks and setup.
function(quel_add_cp1251_run test filter)
  add_test(NAME ${test}_cp1251 COMMAND ${test} --gtest_color=no --gtest_filter=${filter}
           WORKING_DIRECTORY $<TARGET_FILE_DIR:${test}>)
  foreach(property TIMEOUT RESOURCE_LOCK FIXTURES_REQUIRED)
    get_test_property(${test} ${property} value)
    if(value)
      set_tests_properties(${test}_cp1251 PROPERTIES ${property} "${value}")
    endif()
  endforeach()
  set_tests_properties(${test}_cp1251 PROPERTIES ENVIRONMENT "LANG=ru_RU.UTF-8;LC_ALL=ru_RU.UTF-8")
endfunction()
