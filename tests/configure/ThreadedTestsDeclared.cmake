# Every test that plainly starts threads is declared THREADED (or its folder
# ALL_THREADED) in its folder's CMakeLists.txt, so scripts/test-threads runs
# it under ThreadSanitizer. Plainly: its source starts a thread itself
# (std::thread, std::jthread, std::async, QThread), reserves a port for a
# server to bind (TReservedPort), or uses the GUI-thread poster, the serial
# port component or a dispatcher, whose work runs on threads of their own. A
# test that starts threads only deep inside the code it drives is declared by
# hand; CONTRIBUTING.md says so.
#   cmake -DSOURCE=<tree> -DLIST=<build>/threaded-tests.txt -P ThreadedTestsDeclared.cmake
cmake_minimum_required(VERSION 3.25)
file(STRINGS "${LIST}" declared)
set(starts_threads "std::j?thread|std::async|QThread|TReservedPort|GuiThreadPoster|TQn[A-Za-z]*ComPort|Dispatcher")
file(GLOB sources "${SOURCE}/tests/*/*_test.cpp")
set(missing "")
foreach(source ${sources})
  file(STRINGS "${source}" hits REGEX "${starts_threads}" LIMIT_COUNT 1)
  if(hits)
    cmake_path(GET source PARENT_PATH folder)
    cmake_path(GET folder FILENAME folder_name)
    cmake_path(GET source STEM stem)
    if(NOT "${folder_name}_${stem}" IN_LIST declared)
      string(REGEX MATCH "${starts_threads}" marker "${hits}")
      string(APPEND missing "\n  ${folder_name}_${stem} (${marker})")
    endif()
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "tests that start threads but are not declared THREADED in their folder's "
                      "CMakeLists.txt (tavrin_tests), so scripts/test-threads would leave them out:${missing}")
endif()
