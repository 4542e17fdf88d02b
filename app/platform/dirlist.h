// SPDX-License-Identifier: GPL-3.0-or-later
// The entries of a folder, without "." and "..", in no particular order;
// empty when the folder cannot be read (sysfs, /dev, /proc look-ups).
#pragma once

#include <string>
#include <vector>

std::vector<std::string> listDir(const std::string& dir);
