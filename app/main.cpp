// lw52panel: the desktop control panel.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "ControlResults.h"
#include "CrashHandler.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "MainHideWnd.h"
#include "PanelArgs.h"
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
    // The tray's title and the windows' names in the task bar; the desktop file ties the
    // windows (the Wayland app id) and the notifications to the installed icon and name.
    QApplication::setApplicationDisplayName(QStringLiteral("林雾LW52"));
    QGuiApplication::setDesktopFileName(QStringLiteral("net.lw52.Panel"));

    std::vector<std::string> args;
    for (const QString& arg : QApplication::arguments().mid(1)) args.push_back(arg.toStdString());
    PanelArgs options;
    std::string error;
    if (!ParsePanelArgs(args, options, error)) {
        fprintf(stderr, "lw52panel: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        printf(
            "usage: lw52panel [--screenshot FILE [--delay-ms N]] [--lang en|zh] "
            "[-bUpgradeFirmware] [--version]\n");
        return 0;
    }
    if (options.version) {
        printf("lw52panel %s\n", LW52_VERSION);
        return 0;
    }

    const bool screenshotMode = !options.screenshotFile.empty();
    CSingleInstance instance(kInstanceKey);
    if (!instance.Claim()) {
        // A screenshot run would take the card from the running panel and overwrite its
        // stored state on exit: refuse it instead.
        if (screenshotMode) {
            fprintf(stderr,
                    "lw52panel: a panel is already running; close it to take a "
                    "screenshot\n");
            return 1;
        }
        instance.NotifyRunning();
        return 0;
    }
    InstallCrashHandler(nullptr);

    int code = -1;
    {
        CMainApp app;
        app.SetLanguageOption(options.language);
        instance.onShowRequest = [&app] {
            printf("lw52panel: show requested\n");
            fflush(stdout);
            if (CMainHideWnd* hide = app.HideWindow())
                hide->Messages().PostMessage(CMainHideWnd::kMsgShowMain,
                                             CMainHideWnd::kShowMainParam, 0);
        };
        if (screenshotMode)
            ArmScreenshot(app, QString::fromStdString(options.screenshotFile), options.delayMs);
        if (app.Init()) {
            // Beside the single-instance socket: only the one panel of this user serves it.
            app.StartControl(QString::fromStdString(control::SocketPath()));
            code = app.Run(QApplication::arguments());
        }
        app.Uninit();
    }
    return code;
}
