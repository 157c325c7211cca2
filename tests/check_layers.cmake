# Fails when a source file of the program includes a header of a layer above
# its own, or when the tray module includes anything of the program.  The
# build already refuses such includes written the usual way; this also
# catches relative paths that reach into another folder.
#   cmake -DSOURCE_DIR=<checkout> -P tests/check_layers.cmake
cmake_minimum_required(VERSION 3.20)

# Each folder, and the folders whose headers it may include.
set(layers res keys services dialogs app traybutton)
set(allowed_res res)
set(allowed_keys res keys)
set(allowed_services res keys services)
set(allowed_dialogs res keys services dialogs)
set(allowed_app res keys services dialogs app traybutton)
set(allowed_traybutton traybutton)

set(problems "")
set(checked 0)
foreach(layer IN LISTS layers)
    file(GLOB sources "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp" "${SOURCE_DIR}/${layer}/*.rc")
    foreach(source IN LISTS sources)
        math(EXPR checked "${checked} + 1")
        file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS lines)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
            # As the compiler looks: next to the file, then in each folder.
            set(found "")
            get_filename_component(here "${source}" DIRECTORY)
            foreach(candidate_dir IN ITEMS "${here}" ${layers})
                if(NOT IS_ABSOLUTE "${candidate_dir}")
                    set(candidate_dir "${SOURCE_DIR}/${candidate_dir}")
                endif()
                get_filename_component(candidate "${candidate_dir}/${header}" ABSOLUTE)
                if(EXISTS "${candidate}")
                    set(found "${candidate}")
                    break()
                endif()
            endforeach()
            if(found STREQUAL "")
                continue() # a system or generated header
            endif()
            file(RELATIVE_PATH relative "${SOURCE_DIR}" "${found}")
            string(REGEX REPLACE "/.*" "" owner "${relative}")
            if(NOT owner IN_LIST allowed_${layer})
                file(RELATIVE_PATH from "${SOURCE_DIR}" "${source}")
                string(APPEND problems "  ${from} includes ${relative} (${layer}/ may include only: ${allowed_${layer}})\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(checked EQUAL 0)
    message(FATAL_ERROR "no sources found under ${SOURCE_DIR}")
endif()
if(NOT problems STREQUAL "")
    message(FATAL_ERROR "includes against the layering:\n${problems}")
endif()
message(STATUS "${checked} files, every include within its layer or below")
