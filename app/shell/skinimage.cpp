// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/skinimage.h>

#include <app/platform/programdir.h>
#include <imagekit/imageobject.h>

std::filesystem::path skinPath(const std::wstring& file)
{
    return programDir() / "Skins" / file;
}

QImage skinImage(const std::wstring& file)
{
    return CImageObject::shared(skinPath(file).wstring());
}
