# tavrin_subdirectories(folder ...): add_subdirectory for each folder of the
# source tree, which must hold a CMakeLists.txt.
function(tavrin_subdirectories)
  foreach(folder ${ARGN})
    if(NOT EXISTS "${CMAKE_SOURCE_DIR}/${folder}/CMakeLists.txt")
      message(FATAL_ERROR "${folder}/CMakeLists.txt is missing: the build lists ${folder} in "
                          "${CMAKE_CURRENT_LIST_FILE}; restore the folder or take it off that list")
    endif()
    add_subdirectory("${CMAKE_SOURCE_DIR}/${folder}" "${CMAKE_BINARY_DIR}/${folder}")
  endforeach()
endfunction()

# tavrin_library(NAME folder DEPS ... [NO_QT]): one library per subsystem folder,
# built from every .cpp in it so that adding a unit needs no edit here.
# EXCLUDE names files of the folder that another target builds; FILES names
# the only files of the folder this target builds. DEPS is also what the
# library's sources may include, and each library named there must be
# included by one of them (tavrin_check_layers); NO_QT declares that nothing
# it links may bring in Qt. A library needed only at link time (its headers
# included nowhere here) is linked with target_link_libraries beside the call,
# not named in DEPS.
function(tavrin_library name folder)
  cmake_parse_arguments(ARG "NO_QT" "" "DEPS;EXCLUDE;FILES" ${ARGN})
  if(ARG_FILES)
    list(TRANSFORM ARG_FILES PREPEND "${folder}/" OUTPUT_VARIABLE sources)
  else()
    file(GLOB sources CONFIGURE_DEPENDS "${folder}/*.cpp" "${folder}/*.h")
  endif()
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources "${folder}/${excluded}")
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  set_target_properties(${name} PROPERTIES TAVRIN_DEPS "${ARG_DEPS}")
  if(ARG_NO_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC OFF TAVRIN_NO_QT ON)
    if(TAVRIN_FUZZ)
      target_compile_options(${name} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
  endif()
  set_property(GLOBAL APPEND PROPERTY TAVRIN_LAYER_TARGETS ${name})
endfunction()

# Where tests find the shared data, the sources, the build, the program and
# the example images (those the build made, whatever image a user put in the
# program folder).
function(tavrin_test_locations target)
  target_compile_definitions(${target} PRIVATE
    TAVRIN_SHARED_DIR="${TAVRIN_SHARED_DIR}"
    TAVRIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TAVRIN_BINARY_DIR="${CMAKE_BINARY_DIR}"
    TAVRIN_PROGRAM_DIR="${TAVRIN_PROGRAM_DIR}"
    TAVRIN_EXAMPLES_DIR="${TAVRIN_EXAMPLES_DIR}")
endfunction()

# tavrin_test_support(NAME folder INCLUDE dir DEPS ...): the helpers of a test
# folder (every .cpp in it), built once as a library the tests link, rather
# than compiled again into each test. Nothing is made when there is no .cpp.
function(tavrin_test_support name folder)
  cmake_parse_arguments(ARG "" "INCLUDE" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${folder}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}/src" "${CMAKE_SOURCE_DIR}/tests" ${ARG_INCLUDE})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} GTest::gtest)
  # A folder's helpers may build on the shared ones; linking them here keeps
  # the link order right wherever the folder's helpers are used.
  if(NOT name STREQUAL "tavrin_test_support" AND TARGET tavrin_test_support)
    target_link_libraries(${name} PUBLIC tavrin_test_support)
  endif()
  tavrin_test_locations(${name})
endfunction()

# tavrin_tests(folder DEPS ... [THREADED name... | ALL_THREADED]): one GoogleTest
# executable per *_test.cpp file, so a unit's tests build and run on their
# own. The folder's support/*.cpp become the library <folder>_test_support.
# THREADED names the tests (by file name without _test.cpp) that start
# threads, ALL_THREADED says every test of the folder does: scripts/test-threads
# runs those under ThreadSanitizer (tavrin_threaded_tests_list).
function(tavrin_tests folder)
  cmake_parse_arguments(ARG "ALL_THREADED" "" "DEPS;THREADED" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS "${folder}/*_test.cpp")
  get_filename_component(folder_name ${folder} NAME)
  foreach(threaded ${ARG_THREADED})
    if(NOT EXISTS "${folder}/${threaded}_test.cpp")
      message(FATAL_ERROR "THREADED names ${threaded}, but ${folder}/${threaded}_test.cpp is not there")
    endif()
  endforeach()
  tavrin_test_support(${folder_name}_test_support "${folder}/support" INCLUDE "${folder}" DEPS ${ARG_DEPS})
  set(support)
  if(TARGET ${folder_name}_test_support)
    list(APPEND support ${folder_name}_test_support)
  endif()
  if(TARGET tavrin_test_support)
    list(APPEND support tavrin_test_support)
  endif()
  foreach(test_source ${tests})
    get_filename_component(test_name ${test_source} NAME_WE)
    set(target "${folder_name}_${test_name}")
    add_executable(${target} ${test_source})
    target_link_libraries(${target} PRIVATE ${support} ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
    target_include_directories(${target} PRIVATE "${CMAKE_SOURCE_DIR}/src" "${CMAKE_SOURCE_DIR}/tests" "${folder}")
    tavrin_test_locations(${target})
    string(REGEX REPLACE "_test$" "" stem "${test_name}")
    if(ARG_ALL_THREADED OR stem IN_LIST ARG_THREADED)
      set_property(GLOBAL APPEND PROPERTY TAVRIN_THREADED_TESTS ${target})
    endif()
    # Labelled with the executable's name, so a run can pick whole executables
    # (the thread checker does).
    gtest_discover_tests(${target}
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS ${target}
      DISCOVERY_TIMEOUT 60)
  endforeach()
endfunction()

# tavrin_threaded_tests_list(file): once every test folder is in, the target
# threaded_tests builds the executables declared THREADED, and file lists
# them (one a line) for scripts/test-threads.
function(tavrin_threaded_tests_list file)
  get_property(threaded GLOBAL PROPERTY TAVRIN_THREADED_TESTS)
  list(JOIN threaded "\n" text)
  file(WRITE "${file}" "${text}\n")
  add_custom_target(threaded_tests DEPENDS ${threaded})
endfunction()

# tavrin_remove_outputs(path...): removes files and folders of the build
# folder left by an earlier configuration that built them. Only what a
# configuration made goes: never the source tree's own path of the same name
# (whatever spelling of the folders led there), nor a folder without the
# generator's CMakeFiles or with a CMakeLists.txt of its own.
function(tavrin_remove_outputs)
  # A build folder that is the source folder is refused before this runs.
  file(REAL_PATH "${CMAKE_SOURCE_DIR}" source)
  foreach(path ${ARGN})
    set(output "${CMAKE_BINARY_DIR}/${path}")
    if(NOT EXISTS "${output}" AND NOT IS_SYMLINK "${output}")
      continue()
    endif()
    file(REAL_PATH "${output}" real_output)
    file(REAL_PATH "${CMAKE_SOURCE_DIR}/${path}" real_source_path)
    if(real_output STREQUAL real_source_path OR real_output STREQUAL source)
      continue()
    endif()
    if(IS_DIRECTORY "${output}" AND (NOT IS_DIRECTORY "${output}/CMakeFiles" OR EXISTS "${output}/CMakeLists.txt"))
      continue()
    endif()
    file(REMOVE_RECURSE "${output}")
  endforeach()
endfunction()

# tavrin_z80asm(OUTPUT_VAR source.asm out.bin): assemble a Z80 program at build time.
# Files named *.inc beside the source may be included by it.
function(tavrin_z80asm out_var source output)
  get_filename_component(folder "${source}" DIRECTORY)
  file(GLOB includes CONFIGURE_DEPENDS "${folder}/*.inc")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${Z80ASM} -I "${folder}" -o "${output}" "${source}"
    DEPENDS "${source}" ${includes}
    COMMENT "Assembling ${source}")
  set(${out_var} "${output}" PARENT_SCOPE)
endfunction()

include("${CMAKE_CURRENT_LIST_DIR}/TavrinLayers.cmake")
