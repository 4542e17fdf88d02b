// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/reportrun.h>

#include <app/data/languages.h>
#include <app/device/controllersearch.h>
#include <app/device/historyrecorder.h>
#include <app/device/lpgdevice.h>
#include <app/platform/log.h>
#include <app/platform/porttable.h>
#include <app/shell/sessionreport.h>
#include <app/tuning/deviceobd.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <QElapsedTimer>

#include <cstdio>

int runReport(const SAppOptions& options)
{
    initLanguages();
    if (options.language)
        setCurrentLanguage(*options.language);
    QElapsedTimer clock;
    clock.start();
    try {
        // The same ports the program would search: KORVANA_PORTS, then --port.
        CPortTable ports;
        addEnvironmentPorts(ports);
        CLPGDevice device(ports);
        if (options.demo) {
            device.session().startDemoMode();
        } else {
            bool connected = false;
            for (const std::string& path : options.ports) {
                const uint32_t n = ports.addPath(path, "--port");
                if (n != 0 && device.session().connectOnPort(n)) {
                    connected = true;
                    break;
                }
            }
            if (!connected && options.ports.empty())
                connected = searchController(device);
            if (!connected) {
                std::fprintf(stderr, "korvana: no controller answered; no report written\n");
                return 1;
            }
        }
        CHistoryRecorder* history = CHistoryRecorder::installed();
        if (history && !options.demo)
            history->connected(device);
        obdOf(device).setupStep();
        // A new connection has changed nothing yet: the report covers the day's work on this controller.
        const int64_t since = history && !options.demo
            ? CSessionReport::firstPointToday(*history, device.image().m_devInfo.m_serial)
            : 0;
        const CSessionReport report = CSessionReport::gather(device, history, since);
        if (!report.writePdf(QString::fromStdString(options.report))) {
            std::fprintf(stderr, "korvana: cannot write %s\n", options.report.c_str());
            return 1;
        }
        logInfo("report", "made in " + std::to_string(clock.elapsed()) + " ms");
        return 0;
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("report", "runReport()", *error);
        std::fprintf(stderr, "korvana: the controller failed; no report written\n");
        return 1;
    }
}
