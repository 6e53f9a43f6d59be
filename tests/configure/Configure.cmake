# tavrin_configure(source binary out_result out_output args...): configures a
# tree as the scripts do (Ninja), with this build's compilers.
function(tavrin_configure source binary out_result out_output)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S "${source}" -B "${binary}" -G Ninja "-DCMAKE_C_COMPILER=${CC}"
            "-DCMAKE_CXX_COMPILER=${CXX}" ${ARGN}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()
