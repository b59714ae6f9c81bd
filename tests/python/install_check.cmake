# Installs the build tree into a scratch prefix and flattens a square with
# the installed modules and package alone, which checks the install layout
# and the modules' run path to the installed libraries.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(
    COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}
    OUTPUT_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "install failed (${result})")
endif()
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH
            PYTHONPATH=${WORK_DIR}/${PYTHON_DIR} PYTHONDONTWRITEBYTECODE=1
            ${PYTHON} -c
            "import tessaplan, velmora_py_mesh; \
assert velmora_py_mesh.__file__.startswith('${WORK_DIR}/'), velmora_py_mesh.__file__; \
print(tessaplan.flatten([[0, 0, 0], [1, 0, 0], [1, 1, 0]], [[0, 1, 2]]).shape)"
    OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT output STREQUAL "(3, 2)\n")
    message(FATAL_ERROR "installed package failed (${result}): ${output}${errors}")
endif()
