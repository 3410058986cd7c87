// lw52panel: the desktop control panel.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "CrashHandler.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "MainHideWnd.h"
#include "SingleInstance.h"

namespace {
constexpr const char* kInstanceKey = "{F0ACB48A-139E-4239-8144-AB9B043723BD}";

// --screenshot FILE [--delay-ms N]: once the main window is up (the card's state was read
// before it opened), writes it to FILE as PNG and ends the program.
void ArmScreenshot(CMainApp& app, const QString& file, int delayMs) {
    app.onMainWindowShown = [file, delayMs](CMainDlg* window) {
        QTimer::singleShot(delayMs, window, [window, file] {
            const bool saved = window->grab().save(file, "PNG");
            fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "cannot write",
                    qPrintable(file));
            QApplication::exit(saved ? 0 : 1);
        });
    };
}
}  // namespace

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName("lw52panel");

    QCommandLineParser parser;
    parser.setApplicationDescription("林雾LW52 control panel");
    parser.addHelpOption();
    QCommandLineOption screenshot("screenshot", "Write the main window to FILE (PNG) and exit.",
                                  "FILE");
    QCommandLineOption delay("delay-ms", "Wait N ms after the window is shown (screenshot).", "N",
                             "400");
    QCommandLineOption upgrade("bUpgradeFirmware", "Run the firmware upgrade first.");
    parser.addOptions({screenshot, delay, upgrade});
    parser.process(qtApp);

    const bool screenshotMode = parser.isSet(screenshot);
    CSingleInstance instance(kInstanceKey);
    // A screenshot run is a tool run beside a running panel, not a second panel.
    if (!screenshotMode && !instance.Claim()) {
        instance.NotifyRunning();
        return 0;
    }
    InstallCrashHandler(nullptr);

    int code = -1;
    {
        CMainApp app;
        instance.onShowRequest = [&app] {
            printf("lw52panel: show requested\n");
            fflush(stdout);
            if (CMainHideWnd* hide = app.HideWindow())
                hide->Messages().PostMessage(CMainHideWnd::kMsgShowMain,
                                             CMainHideWnd::kShowMainParam, 0);
        };
        if (screenshotMode)
            ArmScreenshot(app, parser.value(screenshot), parser.value(delay).toInt());
        if (app.Init()) code = app.Run(QApplication::arguments());
        app.Uninit();
    }
    return code;
}
