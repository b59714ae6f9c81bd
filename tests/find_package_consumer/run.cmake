# Installs the build tree into a scratch prefix, then configures, builds and
# runs a project that uses it only through find_package(Tessaplan): PROGRAM
# of that project with the arguments PROGRAM_ARGS (a ;-list); when EXPECTED
# is given, its output must match that regular expression.
function(run_step)
    execute_process(COMMAND ${ARGV} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGV}")
    endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run_step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
run_step(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G Ninja
    -DCMAKE_PREFIX_PATH=${prefix})
run_step(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
execute_process(COMMAND ${WORK_DIR}/build/${PROGRAM} ${PROGRAM_ARGS}
    RESULT_VARIABLE result OUTPUT_VARIABLE output)
message("${output}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${PROGRAM} ${PROGRAM_ARGS}")
endif()
if(DEFINED EXPECTED AND NOT output MATCHES "${EXPECTED}")
    message(FATAL_ERROR "${PROGRAM}'s output does not match: ${EXPECTED}")
endif()
