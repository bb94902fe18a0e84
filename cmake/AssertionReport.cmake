# quel_report_assertions(<directory>)
#
# Links the assertion report object (checked/AssertionReport.cpp) into every
# program and DLL defined in <directory> and below, so that all of them report
# a failed assertion on standard error without a dialog. Builds with NDEBUG
# have no live assertions and keep the runtime's default.
function(quel_report_assertions directory)
  if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
    return()
  endif()
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
      target_sources(${target} PRIVATE $<TARGET_OBJECTS:quel_assertion_report>)
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    quel_report_assertions(${subdirectory})
  endforeach()
endfunction()
