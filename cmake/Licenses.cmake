# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Our licence and the notices of the libraries we are built with go with
# every package: inside the bundle on macOS (Sources/App adds them), in the
# package's documentation folder elsewhere.
set(MTI_LICENSE_FILES
    ${PROJECT_SOURCE_DIR}/LICENSE
    ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES.md)
file(GLOB MTI_LICENSE_TEXTS ${PROJECT_SOURCE_DIR}/packaging/licenses/*.txt)

if(UNIX AND NOT APPLE)
    # The folder is named after the package, as Debian's and Fedora's
    # policies want; the package name is set in cmake/Packaging.cmake.
    set(MTI_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/motion-template-installer)
    # "copyright" is the name Debian's tools look for; it says the same as
    # LICENSE in their machine-readable form.
    install(FILES ${MTI_LICENSE_FILES} ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${MTI_INSTALL_DOCDIR} COMPONENT Runtime)
    # The changelog of the package, in Debian's form, dated by the release.
    string(TIMESTAMP changelog_date "%a, %d %b %Y 12:00:00 +0000" UTC)
    if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
        # The release day, as RFC 2822 wants it; string(TIMESTAMP) knows no
        # other day than today's or SOURCE_DATE_EPOCH's.
        execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C date -u -d "${MTI_RELEASE_DATE} 12:00:00" "+%a, %d %b %Y %H:%M:%S +0000"
            OUTPUT_VARIABLE changelog_date OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
    set(changelog ${PROJECT_BINARY_DIR}/packaging/changelog)
    file(WRITE ${changelog}
        "motion-template-installer (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
        "  * Release ${PROJECT_VERSION}.\n\n"
        " -- ${MTI_MAINTAINER}  ${changelog_date}\n")
    execute_process(COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${changelog} OUTPUT_FILE ${changelog}.gz)
    install(FILES ${changelog}.gz DESTINATION ${MTI_INSTALL_DOCDIR} COMPONENT Runtime)
    # The libraries come from the system's packages, with their own licences:
    # the long licence texts are needed only by the bundle, which carries
    # copies of the libraries.
endif()
