#include "MainHideWnd.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "AutoStart.h"
#include "Controls.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "Menus.h"
#include "MessageBox.h"
#include "SessionBus.h"
#include "UiLoader.h"
#include "Version.h"

namespace {
const QString kStatusNotifierWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
}

CMainHideWnd::CMainHideWnd(CMainApp& app)
    : QWidget(nullptr),
      m_app(app),
      m_timers(std::make_unique<CWindowTimers>([this](int id) {
          if (id == kTimerSwitch) m_app.OnSwitchTimer();
      })),
      m_poster(this, [this](uint32_t m, uint64_t w, int64_t l) { OnPrivateMessage(m, w, l); }) {
    setObjectName("mainHideWindow");
    setWindowTitle("QvMainHideWindow");
    setFixedSize(0, 0);
}

CMainHideWnd::~CMainHideWnd() {
    if (m_tray && m_iconAdded) m_tray->hide();  // the icon is removed with the window
}

void CMainHideWnd::InitDialog() {
    m_menu = LoadMenu(":/menus/menu_tray.xml", this);
    if (m_menu) {
        QObject::connect(m_menu, &QMenu::aboutToShow, this, [this] {
            if (QAction* autoStart = MenuAction(m_menu, kCmdAutoStart))
                autoStart->setChecked(IsAutoStart());
        });
        QObject::connect(m_menu, &QMenu::triggered, this,
                         [this](QAction* action) { OnCommand(action->data().toInt()); });
    }
    m_tray = new QSystemTrayIcon(QIcon(":/images/tray.svg"), this);
    m_tray->setToolTip(QObject::tr("林雾LW52"));
    m_tray->setContextMenu(m_menu);
    QObject::connect(m_tray, &QSystemTrayIcon::activated, this,
                     [this](QSystemTrayIcon::ActivationReason r) { OnTrayActivated(r); });
    // Without a tray host (some desktops, offscreen) the program runs without the icon.
    m_iconAdded = QSystemTrayIcon::isSystemTrayAvailable();
    if (m_iconAdded) m_tray->show();
    WatchStatusNotifierHost();
}

// Qt puts the icon on a StatusNotifier host when the session bus has one (KDE, GNOME with
// the AppIndicator extension) and on an X11 tray otherwise. The host can go away later (the
// extension switched off, the shell stopped); its watcher's name is followed so that closing
// the main window knows whether the icon still leads back.
void CMainHideWnd::WatchStatusNotifierHost() {
    if (!m_iconAdded || !session_bus::Configured()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface* names = bus.interface();
    if (!names || !names->isServiceRegistered(kStatusNotifierWatcher).value()) return;
    m_statusNotifier = m_watcherPresent = true;
    m_watcher = new QDBusServiceWatcher(kStatusNotifierWatcher, bus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this);
    QObject::connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                     [this](const QString&, const QString&, const QString& owner) {
                         m_watcherPresent = !owner.isEmpty();
                     });
}

bool CMainHideWnd::TrayReachable() const {
    return m_iconAdded && (!m_statusNotifier || m_watcherPresent);
}

void CMainHideWnd::ShowMainWindow() {
    if (CMainDlg* main = m_app.MainWindow()) {
        main->showNormal();
        main->raise();
        main->activateWindow();
    } else {
        m_app.SwitchToWindow(0);
    }
}

void CMainHideWnd::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::Trigger) return;  // the context menu opens by itself
    CMainDlg* main = m_app.MainWindow();
    if (main && main->isVisible() && !main->isMinimized())
        main->hide();
    else
        ShowMainWindow();
}

void CMainHideWnd::OnPrivateMessage(uint32_t message, uint64_t wParam, int64_t /*lParam*/) {
    if (message == kMsgShowMain && wParam == kShowMainParam) ShowMainWindow();
}

void CMainHideWnd::OnCommand(int id) {
    switch (id) {
        case kCmdShow:
            ShowMainWindow();
            break;
        case kCmdAutoStart:
            SetAutoStart(!IsAutoStart());
            break;
        case kCmdAbout:
            ShowAbout();
            break;
        case kCmdExit:
            Exit();
            break;
        default:
            break;
    }
}

namespace {
// Closes the window it watches when that window stops being the active one.
class DeactivationCloser : public QObject {
  public:
    explicit DeactivationCloser(QWidget* window) : QObject(window), m_window(window) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::WindowDeactivate)
            QMetaObject::invokeMethod(m_window, &QWidget::close, Qt::QueuedConnection);
        return false;
    }

  private:
    QWidget* m_window;
};
}  // namespace

void CMainHideWnd::ShowAbout() {
    if (m_about) {
        m_about->raise();
        return;
    }
    QWidget* about = LoadLayout("LAYOUT:XML_ABOUT", nullptr);
    if (!about) return;
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    if (auto* version = FindControlAs<QLabel>(about, "txt_version"))
        version->setText(QString::fromUtf8(lw52::kVersionText));
    if (auto* close = FindControlAs<QPushButton>(about, "btn_close"))
        QObject::connect(close, &QPushButton::clicked, about, &QWidget::close);
    // Closes itself when it loses activation: to another program (no focus change inside
    // this one is seen then) or to another window of ours.
    about->installEventFilter(new DeactivationCloser(about));
    QObject::connect(qApp, &QApplication::focusChanged, about, [about](QWidget*, QWidget* now) {
        if (now && now->window() != about) about->close();
    });
    if (QScreen* screen = QApplication::primaryScreen())
        about->move(screen->geometry().center() - about->rect().center());
    about->show();
    about->activateWindow();
    m_about = about;
}

void CMainHideWnd::Exit() {
    CQvAudioProtocol* protocol = m_app.GetProtocol();
    if (protocol && protocol->soundTransferActive.load()) {
        msgbox::Show(nullptr, QObject::tr("正在载入特效，暂时不能退出软件"), QObject::tr("提示"));
        return;
    }
    // A modal dialog or menu runs a loop of its own inside code of the windows: close it and
    // come back once that loop has returned, or the windows would be destroyed under it.
    QWidget* nested = QApplication::activePopupWidget();
    if (!nested) nested = QApplication::activeModalWidget();
    if (nested) {
        if (auto* dialog = qobject_cast<QDialog*>(nested))
            dialog->reject();
        else
            nested->close();
        QTimer::singleShot(0, this, [this] { Exit(); });
        return;
    }
    m_app.DestroyWindows();
    QApplication::exit(0);
}
