# The include check on a small tree with one fault of each kind: a library
# including a header of one above it, a Qt header in a library without Qt,
# and a header that belongs to no library. Clean includes (beside the file,
# of a linked library, standard headers) must pass unreported.
#   cmake -DCHECKER=<CheckLayers.cmake> -DFIXTURE=<tree> -DWORK=<folder> -P CheckLayersSelfTest.cmake
cmake_minimum_required(VERSION 3.25)
file(MAKE_DIRECTORY "${WORK}")
file(WRITE "${WORK}/fixture-layers.cmake"
  "set(LAYER_TARGETS low high)\n"
  "set(LAYER_low_QT OFF)\n"
  "set(LAYER_low_ALLOWED low)\n"
  "set(LAYER_low_FILES \"${FIXTURE}/low/Low.h;${FIXTURE}/low/Low.cpp\")\n"
  "set(LAYER_high_QT ON)\n"
  "set(LAYER_high_ALLOWED high low)\n"
  "set(LAYER_high_FILES \"${FIXTURE}/high/High.h;${FIXTURE}/high/High.cpp\")\n")
execute_process(
  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${WORK}/fixture-layers.cmake -DSOURCE_ROOT=${FIXTURE} -P ${CHECKER}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)

set(expected
  "low/Low.cpp: low links no Qt but includes <QString>"
  "low/Low.cpp: low includes \"high/High.h\" of high, which it does not link"
  "high/High.cpp: includes \"stray/Stray.h\", which belongs to no library"
  "3 include\\(s\\) break the layering")
if(result EQUAL 0)
  message(FATAL_ERROR "the check passed a tree that breaks the layering:\n${output}")
endif()
foreach(text ${expected})
  if(NOT output MATCHES "${text}")
    message(FATAL_ERROR "missing \"${text}\" in:\n${output}")
  endif()
endforeach()
