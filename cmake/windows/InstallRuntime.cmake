# Run at install time: copies into the program's folder every DLL that the
# programs and plug-ins load, found in FOLDERS as Windows would find them;
# what is found nowhere there is the system's own. Given: PROGRAMS, MODULES,
# FOLDERS, OBJDUMP, STRIP, and CMAKE_INSTALL_PREFIX.
#
# On a case-sensitive disk CMake looks for each name in lower case
# (qt6core.dll): the names it cannot find are matched here without case,
# and what the matches load is looked up again.

cmake_policy(VERSION 3.25) # the install script runs with none set

set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${OBJDUMP})

set(available)
foreach(folder ${FOLDERS})
    file(GLOB dlls ${folder}/*.dll)
    list(APPEND available ${dlls})
endforeach()

set(installed)
set(libraries)
while(TRUE)
    file(GET_RUNTIME_DEPENDENCIES
        EXECUTABLES ${PROGRAMS}
        MODULES ${MODULES}
        LIBRARIES ${libraries}
        DIRECTORIES ${FOLDERS}
        RESOLVED_DEPENDENCIES_VAR found
        UNRESOLVED_DEPENDENCIES_VAR unresolved)
    foreach(name ${unresolved})
        string(TOLOWER ${name} wanted)
        foreach(dll ${available})
            get_filename_component(file ${dll} NAME)
            string(TOLOWER ${file} file)
            if(file STREQUAL wanted)
                list(APPEND found ${dll})
            endif()
        endforeach()
    endforeach()
    list(REMOVE_DUPLICATES found)
    set(more ${found})
    list(REMOVE_ITEM more ${installed})
    if(NOT more)
        break()
    endif()
    list(APPEND installed ${more})
    set(libraries ${installed})
endwhile()

foreach(dll ${installed})
    file(INSTALL ${dll} DESTINATION ${CMAKE_INSTALL_PREFIX})
    # MinGW's runtime comes with its debugging sections: 24 MB of libstdc++.
    get_filename_component(file ${dll} NAME)
    execute_process(COMMAND ${STRIP} --strip-unneeded ${CMAKE_INSTALL_PREFIX}/${file})
endforeach()
