# Fails when the program is not a GUI-subsystem executable or imports WinSock
# or OpenSSL at link time (the socket library binds both by name when first
# used, and gatecfg never switches SSL on).
# Run with -DEXE=<program> -DOBJDUMP=<objdump of the cross toolchain>.
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE headers RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed: ${result}")
endif()
string(TOLOWER "${headers}" headers)
if(NOT headers MATCHES "subsystem[ \t]+00000002")
  message(FATAL_ERROR "${EXE} is not a Windows GUI program")
endif()
foreach(dll wsock32.dll ws2_32.dll libeay32.dll ssleay32.dll)
  if(headers MATCHES "dll name: ${dll}")
    message(FATAL_ERROR "${EXE} imports ${dll}")
  endif()
endforeach()
message(STATUS "${EXE}: GUI subsystem, no WinSock or OpenSSL import")
