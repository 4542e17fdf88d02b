// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/dialogs/igdiphelper.h>

#include <QGuiApplication>
#include <QImageReader>
#include <QPixmapCache>

namespace {
int g_users = 0;
}

bool IGDIpHelper::startupGDIp()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    ++g_users;
    return true;
}

void IGDIpHelper::shoutdownGDIp()
{
    if (g_users == 0)
        return;
    if (--g_users == 0 && qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QPixmapCache::clear();
}

bool IGDIpHelper::isStarted()
{
    return g_users > 0;
}

bool IGDIpHelper::canReadTiff()
{
    return QImageReader::supportedImageFormats().contains("tiff");
}
