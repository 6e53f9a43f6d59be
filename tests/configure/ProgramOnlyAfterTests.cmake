# A build folder configured with the tests and then for the program alone (as
# a build by hand may be) keeps nothing of the tests: a bare ctest there finds
# no test, rather than running executables older than the code and reporting
# them passing, and no benchmark stays for scripts/bench-smoke.
#   cmake -DSOURCE=<tree> -DWORK=<folder> -DCC=<c> -DCXX=<c++> -DCTEST=<ctest> -P ProgramOnlyAfterTests.cmake
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/Configure.cmake")
file(REMOVE_RECURSE "${WORK}")

function(registered_tests out)
  execute_process(COMMAND ${CTEST} --test-dir "${WORK}" -N
    RESULT_VARIABLE result OUTPUT_VARIABLE listing ERROR_VARIABLE listing)
  string(REGEX MATCHALL "Test +#[0-9]+: [^\n]*" tests "${listing}")
  set(${out} "${tests}" PARENT_SCOPE)
endfunction()

tavrin_configure("${SOURCE}" "${WORK}" result output -DBUILD_TESTING=ON -DTAVRIN_BENCH=ON)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the tree did not configure with the tests:\n${output}")
endif()
registered_tests(before)
if(NOT before)
  message(FATAL_ERROR "no test registered with BUILD_TESTING on")
endif()
# What a build would have left there.
file(WRITE "${WORK}/tests/app/app_frmTavrin_test" "")
file(WRITE "${WORK}/bench/cpu_bench" "")

tavrin_configure("${SOURCE}" "${WORK}" result output -DBUILD_TESTING=OFF -DTAVRIN_BENCH=OFF)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the program alone did not configure over the tests' folder:\n${output}")
endif()
registered_tests(after)
if(after)
  message(FATAL_ERROR "ctest still finds the tests of the earlier configuration:\n${after}")
endif()
foreach(left tests/app/app_frmTavrin_test bench/cpu_bench)
  if(EXISTS "${WORK}/${left}")
    message(FATAL_ERROR "${left} of the earlier configuration is still there")
  endif()
endforeach()

