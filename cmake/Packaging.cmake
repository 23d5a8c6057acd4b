# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Packages made by CPack from the install components (Runtime, Data,
# Documentation): a .dmg with the bundle and a link to /Applications on
# macOS, a .deb and an .rpm elsewhere. All components go into one package:
# the application is of no use without its data. packaging/README.md says how
# to make and check them.
set(CPACK_PACKAGE_NAME motion-template-installer)
set(CPACK_PACKAGE_VENDOR "The Motion Template Installer developers")
set(CPACK_PACKAGE_CONTACT "${MTI_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Motion Template Installer opens motion-graphics template archives (.mtzip),\n\
shows the titles, effects, transitions and generators they hold, and installs\n\
them into the user's Motion Templates folder or the one shared by all users.\n\
It keeps a receipt of every install, so that templates can be checked and\n\
removed later. The mtzip command does the same from a shell.")
set(CPACK_PACKAGE_HOMEPAGE_URL "${MTI_HOMEPAGE}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/bench/out/")
set(CPACK_COMPONENTS_ALL Runtime Data Documentation)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

if(APPLE)
    set(CPACK_GENERATOR DragNDrop)
    set(CPACK_DMG_VOLUME_NAME "${MTI_BUNDLE_NAME}")
    set(CPACK_DMG_FORMAT UDZO)
    # The DragNDrop generator adds the link to /Applications beside the bundle.
    set(CPACK_PACKAGE_FILE_NAME "MotionTemplateInstaller-${PROJECT_VERSION}")
else()
    set(CPACK_GENERATOR DEB RPM)
    # The install tree here is /usr, as distributions have it.
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

    # Debian: the dependencies are the shared libraries' packages, as
    # dpkg-shlibdeps finds them.
    set(CPACK_DEB_COMPONENT_INSTALL OFF)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_SECTION video)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${MTI_HOMEPAGE}")
    # Qt's platform plugin for X11 and Wayland is a separate package.
    if(MTI_GUI)
        set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, qt6-translations-l10n")
    endif()
    # Debian's packaging tools give files 0644 and folders 0755 whatever the
    # umask of the build; the copyright and changelog are where Debian keeps them.
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

    # RPM: the dependencies from the shared libraries (rpmbuild's own).
    set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
    set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
    set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${MTI_MAINTAINER}")
    set(CPACK_RPM_PACKAGE_LICENSE MIT)
    set(CPACK_RPM_PACKAGE_GROUP "Applications/Multimedia")
    set(CPACK_RPM_PACKAGE_URL "${MTI_HOMEPAGE}")
    set(CPACK_RPM_PACKAGE_AUTOREQ ON)
    # Folders other packages own.
    set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
        /usr/share/applications /usr/share/metainfo /usr/share/mime /usr/share/mime/packages
        /usr/share/icons /usr/share/icons/hicolor /usr/share/man /usr/share/man/man1
        /usr/share/bash-completion /usr/share/bash-completion/completions
        /usr/share/zsh /usr/share/zsh/site-functions /usr/share/doc)
endif()

include(CPack)
