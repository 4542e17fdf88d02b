// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures, from the Skins folder beside it. Each is decoded
// once per run and shared by every control that shows it.
#pragma once

#include <QImage>

#include <filesystem>
#include <string>

std::filesystem::path skinPath(const std::wstring& file);
// Null when the picture cannot be read.
QImage skinImage(const std::wstring& file);
