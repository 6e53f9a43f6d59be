# A build writes an example image into the program folder only where none is,
# or where the one there is the example the build itself wrote: an image of
# the user's stays through newer example sources and a clean, and the build
# says once that it kept it, while the build's own image follows its source.
# Run on a copy of the tree, whose example sources it changes, configured
# without the tests; only the images are built.
#   cmake -DSOURCE=<tree> -DWORK=<folder> -DCC=<c> -DCXX=<c++> -P UserImagesKept.cmake
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/Configure.cmake")
file(REMOVE_RECURSE "${WORK}")
file(COPY "${SOURCE}/CMakeLists.txt" "${SOURCE}/cmake" "${SOURCE}/src" "${SOURCE}/examples" DESTINATION "${WORK}/tree")
set(bin "${WORK}/build/bin")
set(examples "${WORK}/build/examples")

tavrin_configure("${WORK}/tree" "${WORK}/build" result output -DBUILD_TESTING=OFF -DTAVRIN_BENCH=OFF)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the program alone did not configure:\n${output}")
endif()

# build(target out_output): builds one target of the copy, which must succeed.
function(build target out_output)
  execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK}/build" --target ${target}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "building ${target} failed:\n${output}")
  endif()
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

# expect_example(name why): the program folder holds the build's example name.hex.
function(expect_example name why)
  if(NOT EXISTS "${bin}/${name}.hex")
    message(FATAL_ERROR "${why}: ${name}.hex is not in the program folder")
  endif()
  file(SHA256 "${bin}/${name}.hex" placed)
  file(SHA256 "${examples}/${name}.hex" example)
  if(NOT placed STREQUAL example)
    message(FATAL_ERROR "${why}: the program folder's ${name}.hex is not the example the build made")
  endif()
endfunction()

# expect_user_image(output told why): the user's cpm22.hex (a copy of
# user.hex) is there unchanged, and the build said so in output when told is
# ON, and did not when OFF.
file(WRITE "${WORK}/user.hex" ":01E4000076A5\r\n:00000001FF\r\n")
file(SHA256 "${WORK}/user.hex" user_image)
function(expect_user_image output told why)
  file(SHA256 "${bin}/cpm22.hex" placed)
  if(NOT placed STREQUAL user_image)
    message(FATAL_ERROR "${why}: the user's cpm22.hex was replaced")
  endif()
  string(REGEX MATCH "Kept your own [^\n]*/bin/cpm22\\.hex[^\n]*not the example" said "${output}")
  if(told AND NOT said)
    message(FATAL_ERROR "${why}: the build did not say that it kept the user's cpm22.hex:\n${output}")
  elseif(NOT told AND said)
    message(FATAL_ERROR "${why}: the build said again that it kept the user's cpm22.hex:\n${output}")
  endif()
endfunction()

build(example_images output)
foreach(name cpm22 zubios)
  expect_example(${name} "a first build")
endforeach()

# The user puts an image of his own in place; then both example sources
# change, as a pull of new versions would change them.
file(COPY_FILE "${WORK}/user.hex" "${bin}/cpm22.hex")
file(SHA256 "${bin}/zubios.hex" zubios_before)
foreach(change "cpm22.asm|Tavrin example system" "zubios.asm|Tavrin 64K BIOS")
  string(REPLACE "|" ";" change "${change}")
  list(GET change 0 source)
  list(GET change 1 text)
  file(READ "${WORK}/tree/examples/${source}" asm)
  string(REPLACE "\"${text}\"" "\"${text}, changed\"" changed "${asm}")
  if(changed STREQUAL asm)
    message(FATAL_ERROR "examples/${source} no longer holds \"${text}\": change the test with it")
  endif()
  file(WRITE "${WORK}/tree/examples/${source}" "${changed}")
endforeach()
build(example_images output)
expect_user_image("${output}" ON "newer example sources")
expect_example(zubios "the build's own image after its source changed")
file(SHA256 "${bin}/zubios.hex" zubios_after)
if(zubios_after STREQUAL zubios_before)
  message(FATAL_ERROR "the build's own zubios.hex did not follow its changed source")
endif()

# Said once: another build with a source only touched keeps quiet.
file(TOUCH "${WORK}/tree/examples/cpm22.asm")
build(example_images output)
expect_user_image("${output}" OFF "a touched source")

# A clean removes what the build made, never the program folder's images.
build(clean output)
build(example_images output)
expect_user_image("${output}" OFF "a clean and a build")
expect_example(zubios "a clean and a build")

# An image taken away comes back with the next build.
file(REMOVE "${bin}/zubios.hex")
build(example_images output)
expect_example(zubios "a build after zubios.hex was removed")
