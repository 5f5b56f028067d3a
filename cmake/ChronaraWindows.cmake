# What every Windows build shares, native or cross, and what the MinGW cross
# build adds: GoogleTest built from source, and Wine to run the tests.

# Version resources are compiled by the resource compiler (windres with MinGW).
enable_language(RC)

# Wide-character Windows API throughout; windows.h without min/max macros.
set(CHRONARA_WINDOWS_DEFINITIONS UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
add_compile_definitions(${CHRONARA_WINDOWS_DEFINITIONS})

if(NOT CMAKE_CROSSCOMPILING)
    return()
endif()

# Benchmarks are not cross-built: Debian has no Windows Google Benchmark, and
# timings under Wine would mean little.
set(CHRONARA_BENCH OFF)

# Paths handed to the test programs are read under Wine, whose drive Z: is the
# root of the host's file system.
set(CHRONARA_HOST_PATH_PREFIX "Z:")

# Wine, to run the built programs. The tests are registered only when it is here;
# without it one test says that they were skipped.
find_program(CHRONARA_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(CHRONARA_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine /usr/lib64/wine
    NO_CMAKE_FIND_ROOT_PATH)
if(CHRONARA_WINE AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    # A private Wine prefix in the build folder, quiet, with no display needed.
    set(CHRONARA_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
        WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()

# GoogleTest from Debian's sources, built with the same toolchain.
macro(chronara_cross_gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    if(CMAKE_CROSSCOMPILING_EMULATOR)
        # The prefix is made once before the tests and its server kept running
        # until they end, so each test program starts in a fraction of a second.
        add_test(NAME windows.wine.start COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --start)
        set_tests_properties(windows.wine.start PROPERTIES FIXTURES_SETUP wine)
        add_test(NAME windows.wine.stop COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --stop)
        set_tests_properties(windows.wine.stop PROPERTIES FIXTURES_CLEANUP wine)
    else()
        add_test(NAME windows.wine.missing COMMAND ${CMAKE_COMMAND} -E echo
            "Wine is not installed: the Windows test programs were built but not run")
        set_tests_properties(windows.wine.missing PROPERTIES
            PASS_REGULAR_EXPRESSION "Wine is not installed" SKIP_REGULAR_EXPRESSION "Wine is not installed")
    endif()
endmacro()

# chronara_cross_test(name [args...]): runs one whole test program under Wine
# (one Wine start per program, not per test).
function(chronara_cross_test name)
    if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
        return()
    endif()
    add_test(NAME windows.${name} COMMAND ${name} ${ARGN})
    set_tests_properties(windows.${name} PROPERTIES FIXTURES_REQUIRED wine)
endfunction()

# The batch image of this build compared with the host (Linux) build's, at one
# fixed moment: CHRONARA_HOST_BIN_DIR names the host build's bin folder. The
# host program writes its image first; the Windows batch test compares.
set(CHRONARA_HOST_BIN_DIR "" CACHE PATH "bin folder of a host build, for the batch comparison")
function(chronara_cross_compare_batch testProgram)
    if(NOT CMAKE_CROSSCOMPILING_EMULATOR OR NOT TEST windows.${testProgram})
        return()
    endif()
    set(now 1781006400)
    if(NOT EXISTS ${CHRONARA_HOST_BIN_DIR}/chronara)
        message(STATUS "No host build given (CHRONARA_HOST_BIN_DIR): the batch image is not compared")
        return()
    endif()
    set(image ${CMAKE_BINARY_DIR}/host-batch.bmp)
    add_test(NAME windows.batch.host COMMAND ${CMAKE_COMMAND} -E env CHRONARA_TEST_NOW=${now}
        ${CHRONARA_HOST_BIN_DIR}/chronara -C ${image} 800)
    set_tests_properties(windows.batch.host PROPERTIES FIXTURES_SETUP hostbatch)
    set_tests_properties(windows.${testProgram} PROPERTIES FIXTURES_REQUIRED "wine;hostbatch"
        ENVIRONMENT "CHRONARA_HOST_BATCH_IMAGE=Z:${image};CHRONARA_HOST_BATCH_NOW=${now}")
endfunction()

# chronara_check_windows_qt_sources(source...): Windows back ends that need Qt
# cannot be built without a Windows Qt, but their use of the Windows API can be
# checked: those of the sources that are Windows back ends (<Name>Windows.cpp,
# or with a _WIN32 branch) are compiled for syntax only against the host's Qt
# headers.
function(chronara_check_windows_qt_sources)
    find_path(CHRONARA_HOST_QT_INCLUDE QtCore/qglobal.h
        PATHS /usr/include/x86_64-linux-gnu/qt6 /usr/include/qt6 NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT CHRONARA_HOST_QT_INCLUDE OR NOT ARGN)
        return()
    endif()
    set(flags -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Wno-attributes
        -I${CMAKE_SOURCE_DIR} -I${CHRONARA_HOST_QT_INCLUDE} -I${CHRONARA_HOST_QT_INCLUDE}/QtCore
        -I${CHRONARA_HOST_QT_INCLUDE}/QtGui -I${CHRONARA_HOST_QT_INCLUDE}/QtNetwork)
    if(CHRONARA_WERROR)
        list(APPEND flags -Werror)
    endif()
    foreach(definition ${CHRONARA_WINDOWS_DEFINITIONS})
        list(APPEND flags -D${definition})
    endforeach()
    set(stamps)
    foreach(source ${ARGN})
        file(STRINGS ${source} windowsBranch REGEX "_WIN32")
        if(NOT windowsBranch AND NOT source MATCHES "Windows\\.cpp$")
            continue()
        endif()
        get_filename_component(name ${source} NAME_WE)
        set(stamp ${CMAKE_BINARY_DIR}/windows-qt-check/${name}.checked)
        add_custom_command(OUTPUT ${stamp}
            COMMAND ${CMAKE_CXX_COMPILER} ${flags} ${source}
            COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
            DEPENDS ${source} IMPLICIT_DEPENDS CXX ${source}
            COMMENT "Checking ${name}.cpp against the Windows API (no Windows Qt to build it)"
            VERBATIM)
        list(APPEND stamps ${stamp})
    endforeach()
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/windows-qt-check)
    if(stamps)
        add_custom_target(windows_qt_sources_check ALL DEPENDS ${stamps})
    endif()
endfunction()

# chronara_keep_qt_free(listVar): keeps the sources of the list that include no
# Qt header, themselves or through the project's headers they include, for a
# build without Qt.
function(chronara_keep_qt_free listVar)
    set(kept)
    foreach(source ${${listVar}})
        set(files ${source})
        file(STRINGS ${source} ownIncludes REGEX "^#include \"[a-z]+/[A-Za-z]+\\.h\"")
        foreach(line ${ownIncludes})
            string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
            if(EXISTS ${CMAKE_SOURCE_DIR}/${header})
                list(APPEND files ${CMAKE_SOURCE_DIR}/${header})
            endif()
        endforeach()
        set(needsQt FALSE)
        foreach(file ${files})
            file(STRINGS ${file} qtIncludes REGEX "^#include <Q")
            if(qtIncludes)
                set(needsQt TRUE)
            endif()
        endforeach()
        if(NOT needsQt)
            list(APPEND kept ${source})
        endif()
    endforeach()
    set(${listVar} ${kept} PARENT_SCOPE)
endfunction()

# chronara_version_resource(target description): gives a program or DLL the
# version resource that Windows shows in its properties and the About box reads.
if(NOT DEFINED CHRONARA_COMMENTS)
    set(CHRONARA_COMMENTS "World time zones, daylight and the sun's position on a live map")
endif()
if(NOT DEFINED CHRONARA_COPYRIGHT)
    set(CHRONARA_COPYRIGHT "Copyright (C) 2026 the Chronara developers")
endif()
function(chronara_version_resource target description)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
        set(CHRONARA_RC_TYPE VFT_DLL)
        set(suffix .dll)
    else()
        set(CHRONARA_RC_TYPE VFT_APP)
        set(suffix .exe)
    endif()
    set(CHRONARA_RC_NAME ${target})
    set(CHRONARA_RC_FILE ${target}${suffix})
    set(CHRONARA_RC_DESCRIPTION ${description})
    set(rc ${CMAKE_BINARY_DIR}/version/${target}.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
