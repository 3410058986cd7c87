#pragma once

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "DeviceSession.h"
#include "HotkeyConfig.h"
#include "HotplugWatcher.h"
#include "PanelControl.h"
#include "QtNotifyCenter.h"
#include "SessionWatcher.h"
#include "Settings.h"
#include "WindowTimers.h"
#include "WorkSpace.h"

class CDesktopNotifier;
class CMainDlg;
class X11GlobalHotkeys;
class PortalGlobalShortcuts;
class CMainHideWnd;
class QApplication;

// The application object: folders, settings, the workspace and the card, the hidden window
// with the tray icon and, through the window switcher, the main window.
class CMainApp : public QObject {
  public:
    CMainApp();
    ~CMainApp() override;

    // --lang: "en" or "zh" whatever the locale; empty leaves the choice to the locale. Before
    // Init, which installs the translation.
    void SetLanguageOption(const std::string& language) { m_languageOption = language; }
    // "en" or "zh", once Init has chosen.
    const std::string& Language() const { return m_language; }
    bool Init();
    int Run(const QStringList& arguments);
    // The first half of Run: the hidden window with the tray icon, and the main window
    // requested from the switcher (it appears 300 ms later).
    void StartWindows();
    void Uninit();

    // The firmware upgrade dialog, modal over parent (null: before any window); true when an
    // upgrade completed.
    bool ShowUpgradeDialog(QWidget* parent);

    // A device arrived or left (the hot-plug watcher, on the UI thread).
    void OnDevicePnp(bool removed, const std::string& devicePath);

    // The window switcher: window 0 is the main window.
    void SwitchToWindow(int id);
    void OnSwitchTimer();
    bool SwitchPending() const { return m_pendingWindow != -1; }
    void DestroyWindows();

    CMainDlg* MainWindow() const { return m_mainWindow; }
    void ForgetMainWindow(CMainDlg* window);
    CMainHideWnd* HideWindow() const { return m_hideWindow; }
    // Whether a hidden main window can be brought back through the tray icon; without a way
    // back, closing the main window minimises it instead.
    bool TrayReachable() const;
    // The main window exists, is shown and is not minimised.
    bool MainWindowInSight() const;
    // The desktop notifications (null without a session bus); from StartWindows on.
    CDesktopNotifier* Notifier() const { return m_notifier.get(); }
    CWorkSpace* Workspace() const { return m_workspace.get(); }
    CQvAudioProtocol* GetProtocol() { return m_workspace ? &m_session.Protocol() : nullptr; }
    CDeviceSession& Session() { return m_session; }
    CSettings& Settings() { return m_settings; }
    CSessionWatcher& SessionWatcher() { return m_sessionWatcher; }
    HotkeyConfig& Hotkeys() { return m_hotkeys; }
    CQtNotifyCenter& NotifyCenter() { return m_notifyCenter; }
    const QString& ExeDir() const { return m_exeDir; }
    const QString& UserDir() const { return m_userDir; }
    const QString& EffectListPath() const { return m_effectListPath; }
    // The control interface (lw52ctl, scripts, the session bus); opened by StartControl.
    CPanelControl* Control() const { return m_control.get(); }
    void StartControl(const QString& socketPath);
    // Called with the main window each time it has been created and shown.
    std::function<void(CMainDlg*)> onMainWindowShown;

  private:
    bool InitUi();
    void StartGlobalHotkeys();
    void InstallTranslation();
    void StartHotplug();
    void StartSessionWatcher();
    // The system is about to end the session (logout, shutdown, SIGTERM): the main window's
    // pages finish what they do, with their files complete.
    void OnSessionEnding();
    // After an arrival or removal: tells the desktop when the card came or went while the
    // main window is out of sight.
    void AnnounceCardChange();

    std::string m_languageOption;
    std::string m_language;
    QString m_exeDir;
    QString m_userDir;
    QString m_effectListPath;
    CQtNotifyCenter m_notifyCenter;
    CSettings m_settings;
    HotkeyConfig m_hotkeys;
    std::unique_ptr<X11GlobalHotkeys> m_globalHotkeys;
    std::unique_ptr<PortalGlobalShortcuts> m_portalHotkeys;
    CDeviceSession m_session;
    std::unique_ptr<CWorkSpace> m_workspace;
    CHotplugWatcher m_watcher;
    std::unique_ptr<QSocketNotifier> m_watcherNotifier;
    CSessionWatcher m_sessionWatcher;
    // The protocol's window messages (1125) go to the main window when there is one, and to
    // the control interface.
    CMessagePoster m_protocolPoster;
    std::unique_ptr<CPanelControl> m_control;

    std::unique_ptr<CDesktopNotifier> m_notifier;
    bool m_cardPresent = false;  // as last announced

    CMainHideWnd* m_hideWindow = nullptr;
    QPointer<CMainDlg> m_mainWindow;
    std::vector<QPointer<CMainDlg>> m_closingWindows;  // closed, their deletion still pending
    int m_pendingWindow = -1;
    bool m_terminating = false;  // SIGTERM arrived
};

// The one application object.
CMainApp& App();
bool HasApp();
