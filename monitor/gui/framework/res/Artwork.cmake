# quel_add_artwork(<target> <NAME.EXT.art>...): draws each text picture into
# NAME.EXT (.bmp or .ico) in the current binary folder, which goes on the target's
# include path, so that its resource script names the file plainly (ICON "NAME.ico").
find_program(QUEL_PYTHON3 python3 REQUIRED)
set(QUEL_PIXELART ${CMAKE_CURRENT_LIST_DIR}/pixelart.py CACHE INTERNAL "")

function(quel_add_artwork target)
  set(outputs)
  foreach(art ${ARGN})
    get_filename_component(source ${art} ABSOLUTE)
    get_filename_component(name ${art} NAME)
    string(REGEX REPLACE "\\.art$" "" name ${name})
    set(output ${CMAKE_CURRENT_BINARY_DIR}/${name})
    add_custom_command(OUTPUT ${output}
      COMMAND ${QUEL_PYTHON3} ${QUEL_PIXELART} ${source} ${output}
      DEPENDS ${source} ${QUEL_PIXELART}
      COMMENT "Drawing ${name}")
    list(APPEND outputs ${output})
  endforeach()
  add_custom_target(${target}_artwork DEPENDS ${outputs})
  add_dependencies(${target} ${target}_artwork)
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
  # The resource compiler reads the pictures: recompile the scripts when they change.
  get_target_property(sources ${target} SOURCES)
  foreach(s ${sources})
    if(s MATCHES "\\.rc$")
      set_property(SOURCE ${s} APPEND PROPERTY OBJECT_DEPENDS ${outputs})
    endif()
  endforeach()
endfunction()
