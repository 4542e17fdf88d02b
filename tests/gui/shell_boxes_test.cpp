// SPDX-License-Identifier: GPL-3.0-or-later
// The file dialogs and error boxes a fitter meets around the settings, the
// firmware and the fuel buttons: the dialogs carry their translated titles
// "SAVE" and "OPEN" (the Qt dialog shows the title it is given), and an error
// thrown under a fuel button or the firmware update is shown in the handler's
// box: its name, a line break, the error's report and a line break, captioned
// "KORVANA" with the error icon.
#include "guitest.h"
#include "shelltest.h"
#include <afmbuilder.h>

#include <app/tuning/docoperations.h>
#include <app/device/firmwareupdate.h>
#include <app/device/lpgdevice.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/qtinteraction.h>
#include <app/shell/switchbuttons.h>
#include <errkit/runtime.h>

#include <QFileDialog>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using shelltest::EnglishScope;
using shelltest::onNextModal;

// A device that believes it is connected to a controller whose port is closed:
// the first exchange throws a port error.
void connectWithoutPort(CLPGDevice& device)
{
    device.m_demo = false;
    device.m_connected = true;
    device.liveImage().m_devInfo.m_deviceID = 5;
    device.liveImage().m_devInfo.m_modelName = L"OREM 33F MOLEX";
}

void expectHandlerBox(const CScriptedInteraction& ui, const std::wstring& handler)
{
    ASSERT_EQ(ui.shown().size(), 1u);
    const auto& box = ui.shown()[0];
    EXPECT_EQ(box.text.rfind(handler + L"\n", 0), 0u);
    EXPECT_GT(box.text.size(), handler.size() + 2) << "no error report";
    EXPECT_EQ(box.text.back(), L'\n') << "the report must end with a line break";
    EXPECT_EQ(box.caption, L"KORVANA");
    EXPECT_EQ(box.icon, MsgIcon::Error);
}

TEST(ShellBoxes, SettingsAndFirmwareDialogsHaveTitles)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    CLPGDevice device;
    device.session().startDemoMode();
    CDocOperations operations(device);
    EXPECT_FALSE(operations.saveToFile({}));
    EXPECT_FALSE(operations.loadIntoController({}));
    connectWithoutPort(device);
    CFirmwareUpdate update(device);
    EXPECT_FALSE(update.onDeviceUpdate());
    EXPECT_EQ(ui.fileTitles(), (std::vector<std::wstring> { L"SAVE", L"OPEN", L"OPEN" }));
    EXPECT_EQ(ui.fileRequests(), (std::vector<bool> { true, false, false }));

    // The titles go through the translation.
    EnglishScope english({ { QStringLiteral("SAVE"), QStringLiteral("Save settings") } });
    EXPECT_FALSE(operations.saveToFile({}));
    EXPECT_EQ(ui.fileTitles().back(), L"Save settings");
}

TEST(ShellBoxes, TheQtFileDialogShowsItsTitle)
{
    CQtInteraction qt;
    QString title;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    onNextModal([&](QWidget* w) {
        if (auto* dialog = qobject_cast<QFileDialog*>(w)) {
            title = dialog->windowTitle();
            mode = dialog->acceptMode();
            dialog->reject();
        }
    });
    EXPECT_EQ(qt.chooseFile(true, L"SAVE", L"Settings file (*.settings)|*.settings|", "/tmp", {}), "");
    EXPECT_EQ(title, QStringLiteral("SAVE"));
    EXPECT_EQ(mode, QFileDialog::AcceptSave);
}

TEST(ShellBoxes, PortErrorUnderAFuelButton)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    CkorvanaDoc doc;
    CLPGDevice& device = doc.device();
    connectWithoutPort(device);
    CSwitchToAutoBtn button(CPageContext { doc, device, doc.relay() });
    guitest::showAndSettle(&button);
    guitest::click(&button);
    expectHandlerBox(ui, L"CSwitchToAutoBtn::onClick()");
}

// A page's handler runs its work as an operation: alone, and an error it
// throws shown with the handler's name.
TEST(ShellBoxes, AnOperationRunsAloneAndShowsItsHandlersError)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    CkorvanaDoc doc;
    int ran = 0;
    EXPECT_TRUE(doc.runOperation(L"Zapis ustawień", L"CTestDlg::OnBnClickedWrite()", [&] {
        ++ran;
        EXPECT_FALSE(doc.runOperation(L"Odczyt ustawień", L"CTestDlg::OnBnClickedRead()", [&] { ++ran; }));
        throw new CRunTime(0, L"test", __LINE__, L"shell_boxes_test.cpp");
    }));
    EXPECT_EQ(ran, 1) << "refused while another runs";
    EXPECT_FALSE(doc.operationRunning()) << "released after the error";
    ASSERT_EQ(ui.shown().size(), 2u);
    EXPECT_EQ(ui.shown()[0].text.rfind(L"Trwa inna operacja: ", 0), 0u);
    ui.clearShown();
    EXPECT_TRUE(doc.runOperation(L"Zapis ustawień", L"CTestDlg::OnBnClickedWrite()",
        [] { throw new CRunTime(0, L"test", __LINE__, L"shell_boxes_test.cpp"); }));
    expectHandlerBox(ui, L"CTestDlg::OnBnClickedWrite()");
}

TEST(ShellBoxes, PortErrorDuringTheFirmwareUpdate)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    CLPGDevice device;
    connectWithoutPort(device);
    CFirmwareUpdate update(device);
    // A file the controller would take: the first request after it (the fuel
    // state, then the switch to petrol) meets the closed port, which throws.
    AfmContent content;
    content.image = syntheticImage(*afmModel(5), 0x0307);
    content.version = 0x0307;
    content.modelName = afmModel(5)->name;
    const auto bytes = buildAfm(content);
    const std::string path = (std::filesystem::temp_directory_path() / "korvana-shellboxes.afm").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ui.queueFile(path);
    EXPECT_FALSE(update.onDeviceUpdate());
    std::filesystem::remove(path);
    expectHandlerBox(ui, L"CkorvanaDoc::OnDeviceUpdate()");
}

} // namespace
