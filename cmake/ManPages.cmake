# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# The man pages, configured with their date and the copyright line. The date
# is SOURCE_DATE_EPOCH's day when that is set (reproducible builds), else the
# release date: never the day of the build.
#
# As a script, for the tests: cmake -DRELEASE_DATE=2026-12-09 -P ManPages.cmake

function(mti_man_date out release_date)
    if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
        if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
            message(FATAL_ERROR "SOURCE_DATE_EPOCH is '$ENV{SOURCE_DATE_EPOCH}', not a count of seconds since 1970")
        endif()
        # string(TIMESTAMP) takes its time from SOURCE_DATE_EPOCH.
        string(TIMESTAMP date "%Y-%m-%d" UTC)
    else()
        set(date ${release_date})
    endif()
    set(${out} ${date} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    mti_man_date(date "${RELEASE_DATE}")
    message("${date}")
    return()
endif()

mti_man_date(MTI_MAN_DATE ${MTI_RELEASE_DATE})
# roff spells the sign itself, so that groff -ww has no non-ASCII input to warn of.
string(REPLACE "©" "\\(co" MTI_COPYRIGHT_ROFF "${MTI_COPYRIGHT}")
set(MTI_MAN_PAGES)
if(UNIX AND NOT APPLE)
    # Installed compressed, as Debian's and Fedora's policies want; -n keeps
    # the name and time out of the header, so the bytes are reproducible.
    find_program(GZIP_EXECUTABLE gzip REQUIRED)
endif()
foreach(page IN ITEMS mtzip.1 motion-template-installer.1)
    if(page STREQUAL "motion-template-installer.1" AND NOT MTI_GUI)
        continue()
    endif()
    set(configured ${PROJECT_BINARY_DIR}/docs/${page})
    configure_file(${PROJECT_SOURCE_DIR}/docs/${page} ${configured} @ONLY)
    if(UNIX AND NOT APPLE)
        execute_process(COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${configured}
            OUTPUT_FILE ${configured}.gz
            RESULT_VARIABLE gzip_status)
        if(NOT gzip_status EQUAL 0)
            message(FATAL_ERROR "gzip failed on ${configured}")
        endif()
        list(APPEND MTI_MAN_PAGES ${configured}.gz)
    else()
        list(APPEND MTI_MAN_PAGES ${configured})
    endif()
endforeach()
