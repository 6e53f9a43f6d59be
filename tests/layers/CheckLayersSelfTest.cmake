# The layering check on a small faulty tree of its own (fixture/): a library
# including a header of one above it, a header of one it reaches only through
# another's DEPS, a Qt header in a library without Qt, a header that belongs
# to no library, a library in DEPS whose headers nothing includes, and Qt in
# DEPS with no Qt header included. The tree is configured with the build's
# helpers, so the table of what each library may include is made as the real
# tree's is. Clean includes (beside the file, of a library in DEPS, standard
# headers) and a library linked beside DEPS for the linker only must pass
# unreported.
#   cmake -DHELPERS=<TavrinHelpers.cmake> -DCHECKER=<CheckLayers.cmake> -DFIXTURE=<tree>
#         -DWORK=<folder> -DGENERATOR=<name> -DCXX=<compiler> -P CheckLayersSelfTest.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}/fixture-build")
file(MAKE_DIRECTORY "${WORK}")
set(manifest "${WORK}/fixture-layers.cmake")
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${FIXTURE} -B "${WORK}/fixture-build" -G "${GENERATOR}" "-DCMAKE_CXX_COMPILER=${CXX}"
          -DTAVRIN_HELPERS=${HELPERS} -DMANIFEST=${manifest}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the fixture tree did not configure:\n${output}")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${manifest} -DSOURCE_ROOT=${FIXTURE} -P ${CHECKER}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)

set(expected
  "low/Low.cpp: low links no Qt but includes <QString>"
  "low/Low.cpp: low includes \"high/High.h\" of high, which is not in its DEPS"
  "high/High.cpp: high includes \"low/Low.h\" of low, which is not in its DEPS"
  "high/High.cpp: includes \"stray/Stray.h\", which belongs to no library"
  "high names spare in its DEPS, but none of its files includes a header of it"
  "spare names Qt in its DEPS, but none of its files includes a Qt header"
  "6 fault\\(s\\) break the layering")
if(result EQUAL 0)
  message(FATAL_ERROR "the check passed a tree that breaks the layering:\n${output}")
endif()
foreach(text ${expected})
  if(NOT output MATCHES "${text}")
    message(FATAL_ERROR "missing \"${text}\" in:\n${output}")
  endif()
endforeach()
if(output MATCHES "spare names low|mid names low")
  message(FATAL_ERROR "a link beside DEPS, or a library in DEPS that is included, was reported:\n${output}")
endif()
