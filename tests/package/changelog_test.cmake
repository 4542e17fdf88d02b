# SPDX-License-Identifier: GPL-3.0-or-later
# The package's changelog made from NEWS: two releases, newest first, each
# with its entries, the signature line and the weekday of its date (one of
# them a leap day).
# Run as: cmake -DSOURCE_DIR=… -DWORK_DIR=… -P changelog_test.cmake
cmake_minimum_required(VERSION 3.25)
include("${SOURCE_DIR}/packaging/changelog.cmake")

set(_news "${WORK_DIR}/changelog_test_NEWS")
file(WRITE "${_news}" "korvana 1.1.0 (2028-02-29)

  * Second release: a change that takes
    two lines.
  * Another change.

korvana 1.0.0 (2026-12-08)

  * First release.
")
korvana_changelog_from_news("${_news}" "A Maintainer <a@example.org>" _text _newest)
set(_expected "korvana (1.1.0) unstable; urgency=medium

  * Second release: a change that takes
    two lines.
  * Another change.

 -- A Maintainer <a@example.org>  Tue, 29 Feb 2028 00:00:00 +0000

korvana (1.0.0) unstable; urgency=medium

  * First release.

 -- A Maintainer <a@example.org>  Tue, 08 Dec 2026 00:00:00 +0000
")
file(REMOVE "${_news}")
if(NOT _text STREQUAL _expected)
    message(FATAL_ERROR "the changelog is\n${_text}\nnot\n${_expected}")
endif()
if(NOT _newest STREQUAL "1.1.0")
    message(FATAL_ERROR "the newest version is '${_newest}', not 1.1.0")
endif()
message(STATUS "changelog from NEWS checked")
