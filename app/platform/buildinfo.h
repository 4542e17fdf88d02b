// SPDX-License-Identifier: GPL-3.0-or-later
// What this build is: its version, the commit it was made from and the
// licence notice that every program prints with --version.
#pragma once

#include <string>
#include <string_view>

// "1.0.0"
const char* korvanaVersion();
// `git describe --always --dirty` of the source tree when the build was
// configured; "unknown" for a build from a tree without git.
const char* korvanaCommit();

// The whole --version text of program: its name, version and commit on the
// first line, then the copyright and licence lines.
std::string versionText(std::string_view program);

// The last line of every --help.
extern const char* const kLicenceLine;
