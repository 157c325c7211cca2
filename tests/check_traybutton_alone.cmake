# Fails unless a copy of traybutton/, alone in a temporary folder outside the
# checkout, configures and builds with the project's compiler: the module is
# meant to be lifted into other programs, so it must need nothing from the
# folders around it.
#   cmake -DSOURCE_DIR=<checkout> -DGENERATOR=<generator> [-DTOOLCHAIN_FILE=<file>]
#         [-DCXX_COMPILER=<compiler>] -P tests/check_traybutton_alone.cmake
cmake_minimum_required(VERSION 3.20)

set(temp /tmp)
foreach(variable IN ITEMS TMPDIR TEMP TMP)
    if(DEFINED ENV{${variable}} AND IS_DIRECTORY "$ENV{${variable}}")
        set(temp "$ENV{${variable}}")
        break()
    endif()
endforeach()
string(RANDOM LENGTH 10 suffix)
set(work "${temp}/traybutton-alone-${suffix}")
file(COPY "${SOURCE_DIR}/traybutton" DESTINATION "${work}")

set(arguments -S "${work}/traybutton" -B "${work}/build" -G "${GENERATOR}")
if(TOOLCHAIN_FILE)
    list(APPEND arguments "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}")
endif()
if(CXX_COMPILER)
    list(APPEND arguments "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" ${arguments}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
set(step configure)
if(status EQUAL 0)
    set(step build)
    execute_process(COMMAND "${CMAKE_COMMAND}" --build "${work}/build"
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
endif()
file(REMOVE_RECURSE "${work}")

if(NOT status EQUAL 0)
    message(FATAL_ERROR "a copy of traybutton/ alone in ${work} does not ${step}:\n${output}")
endif()
message(STATUS "a copy of traybutton/ alone configures and builds")
