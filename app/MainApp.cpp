#include "MainApp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QLocale>
#include <QScreen>
#include <QTranslator>
#include <cstdio>

#include "AppPaths.h"
#include "DesktopNotifier.h"
#include "DeviceManager.h"
#include "DlgUpgradeFirmware.h"
#include "InputHotkeyDialog.h"
#include "Log.h"
#include "MainDlg.h"
#include "MainHideWnd.h"
#include "MessageBox.h"
#include "PanelArgs.h"
#include "PortalGlobalShortcuts.h"
#include "SessionBus.h"
#include "SysInfo.h"
#include "X11GlobalHotkeys.h"

namespace {
CMainApp* g_app = nullptr;

// Diagnostics go to Qt's log with the level and tag the program always used.
struct QtLogSink : diag::ILogSink {
    void OnLog(int level, const char* tag, const char* message, const char* file, int line,
               const char* function) override {
        qWarning("%s[%d] %s %s %s:%d", tag, level, message, function, file, line);
    }
} g_logSink;
}  // namespace

// The layouts, theme and images live in a static library: their registration must be
// pulled in by name.
void InitProgramResources() {
    Q_INIT_RESOURCE(resources);
}

CMainApp& App() {
    return *g_app;
}
bool HasApp() {
    return g_app != nullptr;
}

CMainApp::CMainApp()
    : m_protocolPoster(this, [this](uint32_t message, uint64_t wParam, int64_t lParam) {
          if (m_mainWindow)
              m_mainWindow->DispatchWindowMessage(
                  {WindowMessage::kPrivate, message, wParam, lParam});
          if (m_control) m_control->OnProtocolMessage(message, wParam, lParam);
      }) {
    g_app = this;
    InitProgramResources();
    // The tray keeps the program alive when the main window closes; the window decides.
    QApplication::setQuitOnLastWindowClosed(false);
    // The shipped files: beside the program in a build, in <prefix>/share/lw52 when installed.
    m_exeDir = QString::fromStdString(
        app_paths::ShippedDataDir(QCoreApplication::applicationDirPath().toStdString()));
    m_userDir = QString::fromStdString(app_paths::UserDir());
    const QString userList = m_userDir + "/EffectList.xml";
    m_effectListPath =
        !m_userDir.isEmpty() && QFile::exists(userList) ? userList : m_exeDir + "/EffectList.xml";
    m_session.Protocol().SetPacketSize(64);
}

CMainApp::~CMainApp() {
    m_session.SetCardGoneWake(nullptr);
    DestroyWindows();
    m_notifier.reset();
    m_hotkeys.SetHotkeyHost(nullptr);
    m_globalHotkeys.reset();
    m_portalHotkeys.reset();
    SInputHotKeyDlg::desktopStatus = nullptr;
    delete m_hideWindow;
    m_hideWindow = nullptr;
    m_control.reset();
    m_session.Protocol().SetNotifyCenter(nullptr, nullptr);
    m_session.Protocol().SetMessageSink(nullptr);
    m_watcherNotifier.reset();
    m_workspace.reset();
    diag::SetLogSink(nullptr);
    g_app = nullptr;
}

bool CMainApp::Init() {
    m_settings.Load(app_paths::SettingsPath());
    m_hotkeys.Init(app_paths::HotkeyConfigPath());
    if (!InitUi()) return false;
    StartGlobalHotkeys();
    diag::SetLogSink(&g_logSink);
    LogSysInfo();
    StartHotplug();  // before the first connection, so no arrival falls in between
    StartSessionWatcher();

    CWorkSpace::Context context;
    context.notifyCenter = &m_notifyCenter;
    context.eventSender = this;
    context.protocol = &m_session.Protocol();
    context.settingsPath = m_settings.Path();
    m_workspace = std::make_unique<CWorkSpace>(context);

    // Card frames reach the UI thread as events; transfer messages go to the main window.
    m_session.Protocol().SetNotifyCenter(&m_notifyCenter, this);
    m_session.Protocol().SetMessageSink(&m_protocolPoster);
    m_session.onStartupConnected = [this] { m_workspace->ReadStateFromCard(); };
    m_session.onWorkspaceNotify = [this](bool removed) {
        m_workspace->OnDeviceChanged(removed);
        AnnounceCardChange();
    };
    if (m_session.Init()) {
        // A card that hangs up unannounced is let go on the UI thread as on its removal.
        m_session.SetCardGoneWake([this] {
            QMetaObject::invokeMethod(
                this, [this] { m_session.OnCardGone(); }, Qt::QueuedConnection);
        });
        m_workspace->SetDeviceManager(m_session.Manager());
        if (!m_session.ConnectAtStartup())
            QV_LOG("no card at start-up: %s", m_session.LastError().c_str());
    }
    m_cardPresent = m_session.IsConnected();
    return true;
}

// The texts are written in Chinese; English comes from the translation compiled into the
// resources. It is chosen before any window or layout exists: the layouts are translated as
// they load. The translator is ours, so it goes with the application object.
void CMainApp::InstallTranslation() {
    std::vector<std::string> uiLanguages;
    for (const QString& name : QLocale::system().uiLanguages())
        uiLanguages.push_back(name.toStdString());
    m_language = ChooseLanguage(m_languageOption, uiLanguages);
    if (m_language != "en") return;
    auto* translator = new QTranslator(this);
    if (translator->load(QStringLiteral(":/i18n/lw52panel_en.qm")))
        QCoreApplication::installTranslator(translator);
    else
        QV_LOG("no English translation in the resources");
}

// System-wide hotkeys: key grabs on X11; where there are none (Wayland), the desktop portal's
// global shortcuts; a press reaches the main window's pages as a hotkey message. Without
// either the hotkey dialog says so, and lw52ctl stays the way to reach every action.
void CMainApp::StartGlobalHotkeys() {
    auto dispatch = [this](int id) {
        if (m_mainWindow)
            m_mainWindow->DispatchWindowMessage(
                {WindowMessage::kHotkey, static_cast<uint32_t>(id)});
    };
    m_globalHotkeys = std::make_unique<X11GlobalHotkeys>();
    QObject::connect(m_globalHotkeys.get(), &X11GlobalHotkeys::hotkeyPressed, this, dispatch);
    m_hotkeys.SetHotkeyHost(m_globalHotkeys.get());
    SInputHotKeyDlg::desktopStatus = nullptr;
    if (m_globalHotkeys->Available()) return;
    QV_LOG("no X11 hotkeys: %s", m_globalHotkeys->LastError().c_str());
    if (session_bus::Configured() &&
        PortalGlobalShortcuts::Present(QDBusConnection::sessionBus())) {
        m_portalHotkeys = std::make_unique<PortalGlobalShortcuts>(QDBusConnection::sessionBus());
        if (m_portalHotkeys->Start()) {
            QObject::connect(m_portalHotkeys.get(), &PortalGlobalShortcuts::hotkeyPressed, this,
                             dispatch);
            m_hotkeys.SetHotkeyHost(m_portalHotkeys.get());
            PortalGlobalShortcuts* portal = m_portalHotkeys.get();
            SInputHotKeyDlg::desktopStatus = [portal](int id) { return portal->StatusText(id); };
            printf("lw52panel: global shortcuts through the desktop portal\n");
            fflush(stdout);
            return;
        }
        m_portalHotkeys.reset();
    }
    QV_LOG("no system-wide hotkeys: neither X11 nor the desktop portal's global shortcuts");
    SInputHotKeyDlg::desktopStatus = [](int) {
        return QObject::tr("此桌面不支持全局热键：可在系统设置里把按键绑定到 lw52ctl 命令");
    };
}

bool CMainApp::InitUi() {
    QDir::setCurrent(m_exeDir);
    InstallTranslation();
    if (!QFile::exists(":/layouts/mainwnd.ui")) {
        msgbox::Show(nullptr, QObject::tr("初始化界面资源失败"), "ERROR");
        return false;
    }
    QFile theme(":/theme/dark.qss");
    if (theme.open(QIODevice::ReadOnly)) qApp->setStyleSheet(QString::fromUtf8(theme.readAll()));
    return true;
}

void CMainApp::StartSessionWatcher() {
    m_sessionWatcher.Start();
    QObject::connect(&m_sessionWatcher, &CSessionWatcher::sleepPreparing, this,
                     [this](bool starting) {
                         if (m_mainWindow)
                             m_mainWindow->DispatchWindowMessage(
                                 {WindowMessage::kPower, starting ? kPowerSuspend : kPowerResume});
                     });
    QObject::connect(&m_sessionWatcher, &CSessionWatcher::shutdownPreparing, this,
                     [this] { OnSessionEnding(); });
    QObject::connect(&m_sessionWatcher, &CSessionWatcher::shutdownCancelled, this, [this] {
        if (m_mainWindow) m_mainWindow->DispatchWindowMessage({WindowMessage::kEndSession, 0, 0});
    });
    QObject::connect(&m_sessionWatcher, &CSessionWatcher::terminateRequested, this, [this] {
        m_terminating = true;
        OnSessionEnding();
        // quit() reaches only the main loop once it runs; a modal dialog (the upgrade before
        // the main window, a message box) runs a loop of its own and is ended here.
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
                dialog->reject();
        QApplication::quit();
    });
}

void CMainApp::OnSessionEnding() {
    if (!m_mainWindow) return;
    m_mainWindow->DispatchWindowMessage({WindowMessage::kQueryEndSession});
    m_mainWindow->DispatchWindowMessage({WindowMessage::kEndSession, 0, 1});
}

void CMainApp::StartHotplug() {
    if (!m_watcher.Start()) {
        QV_LOG("no hot-plug detection: %s", m_watcher.Reason().c_str());
        return;
    }
    m_watcherNotifier = std::make_unique<QSocketNotifier>(m_watcher.Fd(), QSocketNotifier::Read);
    QObject::connect(m_watcherNotifier.get(), &QSocketNotifier::activated, this, [this] {
        m_watcher.Dispatch(
            [this](bool removed, const std::string& path) { OnDevicePnp(removed, path); });
    });
}

void CMainApp::OnDevicePnp(bool removed, const std::string& devicePath) {
    if (!m_workspace) return;
    m_session.OnDevicePnp(removed, devicePath);
}

int CMainApp::Run(const QStringList& arguments) {
    if (arguments.join(' ').contains("-bUpgradeFirmware")) {
        ShowUpgradeDialog(nullptr);
        // Asked to end while the dialog ran: no main loop may start after it.
        if (m_terminating) return 0;
    }
    StartWindows();
    const int code = QApplication::exec();
    DestroyWindows();
    return code;
}

void CMainApp::StartControl(const QString& socketPath) {
    if (!m_workspace) return;
    m_control = std::make_unique<CPanelControl>(*this);
    m_control->Start(socketPath);
}

bool CMainApp::ShowUpgradeDialog(QWidget* parent) {
    printf("lw52panel: firmware upgrade shown\n");
    fflush(stdout);
    return CDlgUpgradeFirmware::Show(
        &m_session.Protocol(), [this](bool on) { m_sessionWatcher.HoldForFirmware(on); }, parent);
}

void CMainApp::StartWindows() {
    m_hideWindow = new CMainHideWnd(*this);
    m_hideWindow->InitDialog();
    m_hideWindow->hide();
    if (session_bus::Configured() && !m_notifier)
        m_notifier = std::make_unique<CDesktopNotifier>(QDBusConnection::sessionBus(), [this] {
            if (m_hideWindow) m_hideWindow->ShowMainWindow();
        });
    SwitchToWindow(0);
}

bool CMainApp::TrayReachable() const {
    return m_hideWindow && m_hideWindow->TrayReachable();
}

bool CMainApp::MainWindowInSight() const {
    return m_mainWindow && m_mainWindow->isVisible() && !m_mainWindow->isMinimized();
}

void CMainApp::AnnounceCardChange() {
    const bool present = m_session.IsConnected();
    if (present == m_cardPresent) return;  // a failed open, or a removal of another device
    m_cardPresent = present;
    // In sight, the page itself shows the change.
    if (!m_notifier || MainWindowInSight()) return;
    if (present)
        m_notifier->Notify(QObject::tr("林雾LW52 已连接"), QObject::tr("声卡已插入，可以使用了"),
                           QStringLiteral("device.added"));
    else
        m_notifier->Notify(QObject::tr("林雾LW52 已断开"),
                           QObject::tr("声卡已拔出，插回后会自动连接"),
                           QStringLiteral("device.removed"));
}

void CMainApp::Uninit() {
    m_watcherNotifier.reset();
    m_watcher.Stop();
}

void CMainApp::SwitchToWindow(int id) {
    if (id != 0 || !m_hideWindow) return;  // the main window is the only one registered
    m_pendingWindow = id;
    if (m_mainWindow) m_mainWindow->close();
    m_hideWindow->Timers().StartTimer(CMainHideWnd::kTimerSwitch, 300);
}

void CMainApp::OnSwitchTimer() {
    m_hideWindow->Timers().StopTimer(CMainHideWnd::kTimerSwitch);
    if (m_pendingWindow != 0) return;
    m_pendingWindow = -1;
    auto* window = new CMainDlg(*this);
    m_mainWindow = window;
    window->InitDialog();
    // The window opens in the middle of the screen it is on, as the switcher places it.
    if (QScreen* screen = window->screen() ? window->screen() : QApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
    window->show();
    window->raise();
    window->activateWindow();
    printf("lw52panel: main window shown\n");
    fflush(stdout);
    if (onMainWindowShown) onMainWindowShown(window);
}

void CMainApp::ForgetMainWindow(CMainDlg* window) {
    if (m_mainWindow == window) {
        m_mainWindow = nullptr;
        if (m_control) m_control->OnWindowClosed();
    }
    // A closed window is deleted later, by the event loop; until then it is still ours.
    m_closingWindows.push_back(window);
}

void CMainApp::DestroyWindows() {
    m_pendingWindow = -1;
    if (m_mainWindow) delete m_mainWindow.data();
    // Windows closed but not yet deleted: their pages use the workspace, which goes with
    // this object, so none of them may outlive it.
    const std::vector<QPointer<CMainDlg>> closing = std::move(m_closingWindows);
    m_closingWindows.clear();
    for (const QPointer<CMainDlg>& window : closing)
        if (window) delete window.data();
}
