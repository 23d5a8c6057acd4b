# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# The oldest macOS the bundle runs on: the later of the deployment target we
# compile for and the oldest macOS the Qt in use supports, so that the
# Finder refuses to start it where Qt's frameworks would fail to load.
# scripts/release-macos.sh checks the deployed binaries (LC_BUILD_VERSION)
# against it once more, since a Homebrew Qt is built for the macOS of its
# bottle.
#
# As a script, for the tests:
#   cmake -DQT_VERSION=6.5.3 -DDEPLOYMENT_TARGET=10.15 -P MacOSMinimum.cmake

# The oldest macOS each Qt 6 minor release supports, from its list of
# supported platforms; used when the Qt in use does not say it itself.
set(_mti_qt_macos_minimums
    6.0:10.14 6.1:10.14 6.2:10.14 6.3:10.14 6.4:10.14
    6.5:11.0 6.6:11.0 6.7:11.0
    6.8:12.0 6.9:12.0
    6.10:13.0)

function(mti_macos_minimum out qt_version deployment_target)
    if(NOT qt_version MATCHES "^6\\.([0-9]+)")
        message(FATAL_ERROR "Not a Qt 6 version: '${qt_version}'")
    endif()
    set(qt_minor ${CMAKE_MATCH_1})
    if(DEFINED QT_SUPPORTED_MIN_MACOS_VERSION)
        # Qt's own word, where its CMake package carries it.
        set(qt_minimum ${QT_SUPPORTED_MIN_MACOS_VERSION})
    else()
        # The newest entry not newer than the Qt in use: a Qt newer than the
        # table is taken to need at least what the last entry needs.
        set(qt_minimum)
        foreach(entry IN LISTS _mti_qt_macos_minimums)
            string(REPLACE ":" ";" entry "${entry}")
            list(GET entry 0 entry_qt)
            list(GET entry 1 entry_macos)
            string(REGEX REPLACE "^6\\." "" entry_minor "${entry_qt}")
            if(entry_minor LESS_EQUAL qt_minor)
                set(qt_minimum ${entry_macos})
            endif()
        endforeach()
    endif()
    set(minimum ${qt_minimum})
    if(deployment_target AND deployment_target VERSION_GREATER minimum)
        set(minimum ${deployment_target})
    endif()
    # Two parts at least, as LSMinimumSystemVersion is written.
    if(minimum MATCHES "^[0-9]+$")
        string(APPEND minimum ".0")
    endif()
    set(${out} ${minimum} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    mti_macos_minimum(minimum "${QT_VERSION}" "${DEPLOYMENT_TARGET}")
    message("${minimum}")
endif()
