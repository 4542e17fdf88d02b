// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-skins: draws every picture of the Skins folder and writes it as TIFF
// with alpha. Run by the build with the output folder as its only argument.
#include "consoleskin.h"
#include "gaugeskin.h"
#include "iconskin.h"
#include "injectorskin.h"
#include "logoskin.h"
#include "skinpainter.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

int main(int argc, char** argv)
{
    // Text needs a GUI application; no display is needed to draw into images.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvana-skins OUTPUT-FOLDER\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "korvana-skins: cannot create %s\n", argv[1]);
        return 1;
    }

    using Fuel = CConsoleSkin::EFuel;
    using Glyph = CIconSkin::EGlyph;
    const std::vector<std::pair<const char*, std::function<QImage()>>> pictures = {
        {"Gauge.tif", [] { return CGaugeSkin::draw(); }},
        {"Injector_Green.tif", [] { return CInjectorSkin::draw(QColor(0x2f, 0xae, 0x4e)); }},
        {"Injector_Red.tif", [] { return CInjectorSkin::draw(QColor(0xd8, 0x3a, 0x2e)); }},
        {"Injector_White.tif", [] { return CInjectorSkin::draw(QColor(0xf2, 0xf4, 0xf6)); }},
        {"KR CON PETROL.tif", [] { return CConsoleSkin::draw(Fuel::Petrol, 0, false); }},
        {"KR CON AUTO.tif", [] { return CConsoleSkin::draw(Fuel::Auto, 0, false); }},
        {"KR CON R.tif", [] { return CConsoleSkin::draw(Fuel::Lpg, 0, true); }},
        {"KR CON 14.tif", [] { return CConsoleSkin::draw(Fuel::Lpg, 1, false); }},
        {"KR CON 12.tif", [] { return CConsoleSkin::draw(Fuel::Lpg, 2, false); }},
        {"KR CON 34.tif", [] { return CConsoleSkin::draw(Fuel::Lpg, 3, false); }},
        {"KR CON FULL.tif", [] { return CConsoleSkin::draw(Fuel::Lpg, 4, false); }},
        {"CheckBox_Selected.tif", [] { return CIconSkin::checkBox(true, 1); }},
        {"CheckBox_Unselected.tif", [] { return CIconSkin::checkBox(false, 1); }},
        {"CheckBox_Selected_2.tif", [] { return CIconSkin::checkBox(true, 2); }},
        {"CheckBox_Unselected_2.tif", [] { return CIconSkin::checkBox(false, 2); }},
        {"Btn_record.tif", [] { return CIconSkin::button(Glyph::Record); }},
        {"Btn_play.tif", [] { return CIconSkin::button(Glyph::Play); }},
        {"Btn_pause.tif", [] { return CIconSkin::button(Glyph::Pause); }},
        {"Btn_prev.tif", [] { return CIconSkin::button(Glyph::Prev); }},
        {"Btn_next.tif", [] { return CIconSkin::button(Glyph::Next); }},
        {"Btn_open.tif", [] { return CIconSkin::button(Glyph::Open); }},
        {"Btn_stop.tif", [] { return CIconSkin::button(Glyph::Stop); }},
        {"ABOUT LOGO.tif", [] { return CLogoSkin::draw(); }},
    };

    int failed = 0;
    for (const auto& [name, draw] : pictures)
        if (!CSkinPainter::save(draw(), dir, QString::fromUtf8(name)))
            ++failed;
    return failed == 0 ? 0 : 1;
}
