// SPDX-License-Identifier: GPL-3.0-or-later
// "Mapa 2D": the injection-map grid with "Kasuj korekty", "Zmiana
// sąsiadujących" and the OBD-mapping controls. The page keeps no map of its
// own: every refresh reads the settings image. On the page timer the newest
// live record moves the operating-point marker.
#pragma once

#include <app/data/imultilanggui.h>
#include <app/shell/itimerbasedgui.h>
#include <app/shell/pagecontext.h>
#include <gradctrls/multipage/gdipmultipagedialog.h>

#include <cstdint>
#include <memory>

class CCheckBoxImages;
class CMapFromOBD;
class CMapArray;
class QCheckBox;

class CCorRpmDlg : public CGDIpMultiPageDialog, public ITimerBasedGUI, public IMultilangGUI {
    Q_OBJECT
public:
    static constexpr int kResourceId = 327;
    // Control ids.
    static constexpr int kTable = 1300;
    static constexpr int kBtnClearMap = 1301;
    static constexpr int kChkNeighbours = 1302;
    static constexpr int kChkObdMap = 1303;
    static constexpr int kBtnObdMapStart = 1304;
    static constexpr int kBtnObdMapStop = 1305;
    static constexpr int kBtnObdMapCalculate = 1306;
    static constexpr int kHint = 1307;
    static constexpr int kHint2 = 1308;

    explicit CCorRpmDlg(const CPageContext& context, QWidget* parent = nullptr);
    ~CCorRpmDlg() override;

    CMapArray* grid() const { return m_grid; }

    void activate() override;
    void onTimer() override;
    void updateTexts() override;
    // Headers and cells from the settings image.
    void refresh();

    // "Kasuj korekty".
    void OnBnClickedBtnClearMap();
    // "Zmiana sąsiadujących".
    void OnBnClickedChkNeighbours();

    // ---- OBD mapping ----
    // "Mapowanie z OBD" is offered only while the link to the engine computer
    // is up; the collection itself is CMapFromOBD, fed from onTimer.
    void enableObdMapping(bool enabled);
    const CMapFromOBD& mapFromObd() const { return *m_mapFromObd; }
    virtual void OnBnClickedChkObdMap();
    virtual void OnBnClickedBtnObdMapStart();
    virtual void OnBnClickedBtnObdMapStop();
    virtual void OnClickedBtnObdMapCalculate();

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;
    bool preTranslateMessage(QEvent* msg) override;
    // Called on each timer tick after the marker moved, while OBD mapping runs.
    virtual void obdMappingTick(double rpm, double timeMs);
    bool obdMappingRunning() const { return m_obdMappingRunning; }

private:
    CPageContext m_context;
    CMapArray* m_grid = nullptr;
    QCheckBox* m_neighbours = nullptr;
    QCheckBox* m_obdMap = nullptr;
    CCheckBoxImages* m_boxImages = nullptr;
    std::unique_ptr<CMapFromOBD> m_mapFromObd;
    uint64_t m_lastSequence = 0;
    bool m_obdMappingEnabled = false;
    bool m_obdMappingRunning = false;
    // "Oblicz korekty" waits for a Stop after the box was toggled.
    bool m_calculateAllowed = false;
    // The map or its axes were not read from the controller now connected.
    bool m_mapUnread = false;

    void updateObdButtons();
    // Colour mode 1 and the map from the image, after a collection.
    void showMapAgain();
};
