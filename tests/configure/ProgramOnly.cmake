# With BUILD_TESTING off the tree configures although none of the tests' and
# benchmarks' packages may be found, and the build holds the program and its
# images but no test, test helper or benchmark.
#   cmake -DSOURCE=<tree> -DWORK=<folder> -DCC=<c> -DCXX=<c++> -P ProgramOnly.cmake
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/Configure.cmake")
file(REMOVE_RECURSE "${WORK}")
tavrin_configure("${SOURCE}" "${WORK}" result output -DBUILD_TESTING=OFF
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Test=ON
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the program alone did not configure:\n${output}")
endif()

# Nor were the libraries only tests and benchmarks use looked for.
file(STRINGS "${WORK}/CMakeCache.txt" looked_for REGEX "^(VTERM_LIBRARY|Z80EX_LIBRARY|Z80EX_INCLUDE_DIR)[:=]")
if(looked_for)
  message(FATAL_ERROR "the program alone looked for the tests' libraries: ${looked_for}")
endif()
if(EXISTS "${WORK}/CTestTestfile.cmake")
  message(FATAL_ERROR "the program alone registers tests (${WORK}/CTestTestfile.cmake)")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK}" --target help
  RESULT_VARIABLE result OUTPUT_VARIABLE targets ERROR_VARIABLE targets)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "no target list:\n${targets}")
endif()
foreach(wanted tavrin example_images tavrin_mainwindow)
  if(NOT targets MATCHES "(^|\n)${wanted}:")
    message(FATAL_ERROR "the program alone has no target ${wanted}:\n${targets}")
  endif()
endforeach()
string(REGEX MATCHALL "(^|\n)[A-Za-z0-9_]*(_test|_test_support|_bench):" unwanted "${targets}")
if(unwanted)
  message(FATAL_ERROR "the program alone builds tests or benchmarks:${unwanted}")
endif()
