#pragma once

#include <QDBusServiceWatcher>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>

#include "WindowTimers.h"

class CMainApp;

// The invisible top-level window: owns the tray icon and its menu, takes the second
// instance's request to show the main window (1125 / 5) and runs the window switcher's timer.
class CMainHideWnd : public QWidget {
  public:
    static constexpr uint32_t kMsgShowMain = 1125;
    static constexpr uint64_t kShowMainParam = 5;
    static constexpr int kTimerSwitch = 10001;
    enum Command { kCmdShow = 7, kCmdAutoStart = 8, kCmdAbout = 9, kCmdExit = 10 };

    explicit CMainHideWnd(CMainApp& app);
    ~CMainHideWnd() override;

    void InitDialog();  // adds the tray icon
    void OnCommand(int id);
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void ShowMainWindow();
    void OnPrivateMessage(uint32_t message, uint64_t wParam, int64_t lParam);

    CWindowTimers& Timers() { return *m_timers; }
    IMessageSink& Messages() { return m_poster; }
    bool TrayIconAdded() const { return m_iconAdded; }
    // Whether the user can come back through the tray icon: it was added, and the desktop's
    // tray (the StatusNotifier host it was registered with) is still there.
    bool TrayReachable() const;
    QMenu* TrayMenu() const { return m_menu; }
    QWidget* AboutWindow() const { return m_about; }

  private:
    void WatchStatusNotifierHost();
    void ShowAbout();
    void Exit();

    CMainApp& m_app;
    std::unique_ptr<CWindowTimers> m_timers;
    CMessagePoster m_poster;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_menu = nullptr;
    bool m_iconAdded = false;
    // The icon went to a StatusNotifier host (not an X11 tray): its watcher is followed.
    bool m_statusNotifier = false;
    bool m_watcherPresent = false;
    QDBusServiceWatcher* m_watcher = nullptr;
    QPointer<QWidget> m_about;
};
