# Test executables run under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
# Each executable is one CTest test: a Wine process start costs about 0.5 s.
#
# quel_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>]
#               [TIMEOUT <seconds>] [RESOURCE_LOCK <locks...>] [NO_GTEST_MAIN]
#               [UNMANAGED_WINDOWS])
#
# UNMANAGED_WINDOWS: Wine waits up to two seconds for a window manager to withdraw
# every hidden top-level window, and Xvfb has none; a setup test first tells Wine
# that this program's windows need no manager.
function(quel_add_test)
  cmake_parse_arguments(T "NO_GTEST_MAIN;UNMANAGED_WINDOWS" "NAME;TIMEOUT" "SOURCES;LIBS;RESOURCE_LOCK" ${ARGN})
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
  if(T_UNMANAGED_WINDOWS)
    add_test(NAME ${T_NAME}_unmanaged
      COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh reg add
              "HKCU\\Software\\Wine\\AppDefaults\\${T_NAME}.exe\\X11 Driver"
              /v Managed /d N /f)
    set_tests_properties(${T_NAME}_unmanaged PROPERTIES FIXTURES_SETUP ${T_NAME}_unmanaged)
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED ${T_NAME}_unmanaged)
  endif()
endfunction()
