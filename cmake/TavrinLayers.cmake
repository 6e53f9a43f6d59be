# The layering the build enforces. The libraries and their DEPS (the
# tavrin_library calls beside each folder's sources) are the one table of what
# may use what: a library's sources may include the headers of the libraries
# it names in DEPS, and no others; a header that a library only reaches
# through another's DEPS is that library's business, not its own. Each
# library in DEPS must be used so, or the table claims a use that is not
# there. No library that names no Qt target in DEPS may include a Qt header.
# Links made beside DEPS (target_link_libraries) are for the linker only.

# The tavrin_* libraries a target names in its DEPS, and whether DEPS names Qt.
function(tavrin_layer_direct target out_libs out_qt)
  set(libs "")
  set(qt OFF)
  get_target_property(links ${target} TAVRIN_DEPS)
  foreach(item IN LISTS links)
    if(item MATCHES "^Qt6?::")
      set(qt ON)
    elseif(TARGET ${item})
      get_target_property(layer_member ${item} TAVRIN_LAYER_MEMBER)
      if(layer_member)
        list(APPEND libs ${item})
      endif()
    endif()
  endforeach()
  set(${out_libs} "${libs}" PARENT_SCOPE)
  set(${out_qt} ${qt} PARENT_SCOPE)
endfunction()

# Whether Qt comes in anywhere on a target's link chain.
function(tavrin_layer_reaches_qt target out_qt)
  set(visited "")
  get_target_property(pending ${target} LINK_LIBRARIES)
  while(pending)
    list(POP_FRONT pending item)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
    if(item MATCHES "^Qt6?::")
      set(${out_qt} ON PARENT_SCOPE)
      return()
    elseif(TARGET ${item} AND NOT item IN_LIST visited)
      list(APPEND visited ${item})
      get_target_property(more ${item} INTERFACE_LINK_LIBRARIES)
      if(more)
        list(APPEND pending ${more})
      endif()
    endif()
  endwhile()
  set(${out_qt} OFF PARENT_SCOPE)
endfunction()

# Called once all libraries exist: stops the configuration when a NO_QT
# library links Qt, and writes the table the include check reads.
function(tavrin_check_layers manifest)
  get_property(targets GLOBAL PROPERTY TAVRIN_LAYER_TARGETS)
  foreach(target ${targets})
    set_target_properties(${target} PROPERTIES TAVRIN_LAYER_MEMBER ON)
  endforeach()
  set(text "set(LAYER_TARGETS ${targets})\n")
  foreach(target ${targets})
    tavrin_layer_direct(${target} allowed qt)
    get_target_property(no_qt ${target} TAVRIN_NO_QT)
    if(no_qt)
      tavrin_layer_reaches_qt(${target} reaches_qt)
      if(reaches_qt)
        message(FATAL_ERROR "${target} is declared free of Qt but links Qt")
      endif()
    endif()
    get_target_property(folder ${target} SOURCE_DIR)
    get_target_property(sources ${target} SOURCES)
    set(files "")
    foreach(source ${sources})
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${folder}")
      if(EXISTS "${source}" AND NOT source MATCHES "/autogen/|_autogen/")
        list(APPEND files "${source}")
      endif()
    endforeach()
    string(APPEND text "set(LAYER_${target}_QT ${qt})\n"
                       "set(LAYER_${target}_ALLOWED ${target} ${allowed})\n"
                       "set(LAYER_${target}_FILES \"${files}\")\n")
  endforeach()
  file(WRITE "${manifest}" "${text}")
endfunction()
