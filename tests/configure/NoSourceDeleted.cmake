# A configuration deletes no source. A build folder that is the source folder
# is refused, however it is spelled (a link, "..", a trailing slash), and the
# attempt deletes nothing of the tree. In a build folder of its own, the
# removal of what an earlier configuration built leaves what no configuration
# made: a folder of the user's, and a link to the sources. Run on a copy of
# the tree.
#   cmake -DSOURCE=<tree> -DWORK=<folder> -DCC=<c> -DCXX=<c++> -P NoSourceDeleted.cmake
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/Configure.cmake")
file(REMOVE_RECURSE "${WORK}")
file(COPY "${SOURCE}/CMakeLists.txt" "${SOURCE}/cmake" "${SOURCE}/src" "${SOURCE}/examples" "${SOURCE}/tests"
          "${SOURCE}/bench" DESTINATION "${WORK}/tree")
file(CREATE_LINK "${WORK}/tree" "${WORK}/link" SYMBOLIC)
file(GLOB_RECURSE sources LIST_DIRECTORIES true RELATIVE "${WORK}/tree" "${WORK}/tree/*")

foreach(spelling "${WORK}/link" "${WORK}/tree/src/.." "${WORK}/tree/")
  tavrin_configure("${WORK}/tree" "${spelling}" result output -DBUILD_TESTING=OFF -DTAVRIN_BENCH=OFF)
  if(result EQUAL 0)
    message(FATAL_ERROR "a build in the source folder spelled ${spelling} was not refused:\n${output}")
  endif()
  if(NOT output MATCHES "not built inside its source folder")
    message(FATAL_ERROR "the refusal of ${spelling} does not say why:\n${output}")
  endif()
  foreach(path ${sources})
    if(NOT EXISTS "${WORK}/tree/${path}")
      message(FATAL_ERROR "configuring in ${spelling} removed ${path}")
    endif()
  endforeach()
  file(REMOVE_RECURSE "${WORK}/tree/CMakeCache.txt" "${WORK}/tree/CMakeFiles")
endforeach()

file(WRITE "${WORK}/build/bench/notes.txt" "mine")
file(MAKE_DIRECTORY "${WORK}/build/tests")
file(CREATE_LINK "${WORK}/tree/tests/app" "${WORK}/build/tests/app" SYMBOLIC)
tavrin_configure("${WORK}/tree" "${WORK}/build" result output -DBUILD_TESTING=OFF -DTAVRIN_BENCH=OFF)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the program alone did not configure in its own folder:\n${output}")
endif()
foreach(kept build/bench/notes.txt tree/tests/app/CMakeLists.txt)
  if(NOT EXISTS "${WORK}/${kept}")
    message(FATAL_ERROR "configuring without tests and benchmarks removed ${kept}")
  endif()
endforeach()
