# A folder the build lists that has lost its CMakeLists.txt stops the
# configuration with a message naming it, rather than configuring cleanly
# and failing at link time. Run on a copy of the tree, without the tests.
#   cmake -DSOURCE=<tree> -DWORK=<folder> -DCC=<c> -DCXX=<c++> -P MissingFolder.cmake
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/Configure.cmake")
file(REMOVE_RECURSE "${WORK}")
file(COPY "${SOURCE}/CMakeLists.txt" "${SOURCE}/cmake" "${SOURCE}/src" "${SOURCE}/examples" DESTINATION "${WORK}/tree")

# A library's folder, and one outside src.
foreach(folder src/ui examples)
  file(RENAME "${WORK}/tree/${folder}/CMakeLists.txt" "${WORK}/lists.txt")
  file(REMOVE_RECURSE "${WORK}/build")
  tavrin_configure("${WORK}/tree" "${WORK}/build" result output -DBUILD_TESTING=OFF -DTAVRIN_BENCH=OFF)
  file(RENAME "${WORK}/lists.txt" "${WORK}/tree/${folder}/CMakeLists.txt")
  if(result EQUAL 0)
    message(FATAL_ERROR "configured without ${folder}/CMakeLists.txt:\n${output}")
  endif()
  if(NOT output MATCHES "${folder}/CMakeLists.txt is missing")
    message(FATAL_ERROR "no message naming ${folder}:\n${output}")
  endif()
endforeach()
