# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package a fitter installs: `cpack -G DEB` in a build folder, or
# scripts/package for a Release build. Runtime dependencies come from
# dpkg-shlibdeps; the plugins Qt loads at run time are named here. The
# maintainer is set in packaging/CMakeLists.txt, which also signs the changelog.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "korvana")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The korvana developers")
set(CPACK_PACKAGE_CONTACT "${KORVANA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure and diagnose sequential LPG injection controllers")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
# Only the programs, their libraries and data; the libraries' headers stay out.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};Runtime;/")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME "korvana")
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVANA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# CPack puts the summary above this as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "KORVANA is the fitter's tool for a sequential LPG (autogas) injection
controller on a USB-serial cable: it reads and writes the controller's
settings, edits the injection map and correction curves, runs the idle
autocalibration, shows, records and plays back live readings, reads and
clears controller errors and OBD trouble codes and updates the firmware.
.
Also contains korvana-cli, a service tool for scripts, and korvana-sim, a
controller simulator for training without a car.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dlopened by Qt, so dpkg-shlibdeps cannot see them: the skins are TIFF pictures.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
# The manual and folders open with the desktop's opener.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_COMPRESSION_TYPE "xz")

include(CPack)
