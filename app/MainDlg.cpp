#include "MainDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>

#include "Controls.h"
#include "DeviceManager.h"
#include "DiagnosisBar.h"
#include "DlgDeviceInfo.h"
#include "EventHandlerEffect.h"
#include "EventHandlerRecord.h"
#include "EventHandlerSound.h"
#include "MainApp.h"
#include "MainHideWnd.h"
#include "Menus.h"
#include "MessageBox.h"
#include "UiLoader.h"

namespace {
constexpr int kCaptionHeight = 60;  // the strip that moves the frameless window
}  // namespace

CMainDlg::CMainDlg(CMainApp& app)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      m_app(app),
      m_timers(std::make_unique<CWindowTimers>(
          [this](int id) {
              DispatchWindowMessage({WindowMessage::kTimer, static_cast<uint32_t>(id)});
          },
          this)),
      m_poster(this, [this](uint32_t m, uint64_t w, int64_t l) {
          DispatchWindowMessage({WindowMessage::kPrivate, m, w, l});
      }) {
    setObjectName("MainDlg");
    setWindowTitle(QStringLiteral("林雾LW52"));  // the product name, in any language
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_DeleteOnClose);
    QString error;
    m_content = LoadLayout("LAYOUT:XML_MAINWND", this, &error);
    if (m_content) {
        m_content->setGeometry(0, 0, kWidth, kHeight);
        ConnectControlEvents(m_content, [this](const ControlEvent& e) { DispatchControlEvent(e); });
    }
    m_mainMenu = LoadMenu(":/menus/menu_main.xml", this);
    if (m_mainMenu)
        QObject::connect(m_mainMenu, &QMenu::triggered, this, [this](QAction* action) {
            DispatchWindowMessage(
                {WindowMessage::kCommand, static_cast<uint32_t>(action->data().toInt())});
        });
    m_pages.push_back(std::make_unique<CEventHandlerEffect>());
    m_pages.push_back(std::make_unique<CEventHandlerSound>());
    m_pages.push_back(std::make_unique<CEventHandlerRecord>());
}

CMainDlg::~CMainDlg() {
    OnDestroy();
}

QWidget* CMainDlg::Find(const QString& name) const {
    return FindControl(m_content, name);
}
QWidget* CMainDlg::FindById(int id) const {
    return FindControlById(m_content, id);
}

CWorkSpace* CMainDlg::Workspace() {
    return m_app.Workspace();
}
INotifyCenter& CMainDlg::NotifyCenter() {
    return m_app.NotifyCenter();
}
HotkeyConfig& CMainDlg::Hotkeys() {
    return m_app.Hotkeys();
}
QString CMainDlg::ExeDir() const {
    return m_app.ExeDir();
}
QString CMainDlg::UserDir() const {
    return m_app.UserDir();
}
QString CMainDlg::EffectListPath() const {
    return m_app.EffectListPath();
}

void CMainDlg::HoldSleepAndShutdown(bool on) {
    m_app.SessionWatcher().Hold(on);
}

void CMainDlg::DetachDevice() {
    if (CDeviceManager* manager = m_app.Session().Manager()) manager->DetachDevice();
    if (CWorkSpace* workspace = m_app.Workspace()) workspace->SetDeviceManager(nullptr);
}

void CMainDlg::InitDialog() {
    // Top-most at first, so the window comes to the front; it stays so only when the
    // settings ask for it.
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (m_app.Settings().GetInt(CSettings::kMainWinTopmost) == 0)
        m_timers->StartTimer(kTimerUntopmost, 500);
    for (auto& page : m_pages) page->Init(this);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    // A card that is there but could not be attached is explained above the pages.
    m_diagnosis =
        new CDiagnosisBar(this, NotifyCenter(), [this] { return m_app.Session().IsConnected(); });
    m_diagnosis->Refresh();
}

void CMainDlg::SetPage(size_t index, std::unique_ptr<IPageHandler> page) {
    if (index < m_pages.size()) m_pages[index] = std::move(page);
}

void CMainDlg::DispatchControlEvent(const ControlEvent& event) {
    for (auto& page : m_pages)
        if (page->OnControlEvent(event)) return;
    OnOwnControlEvent(event);
}

void CMainDlg::DispatchWindowMessage(const WindowMessage& message) {
    for (auto& page : m_pages)
        if (page->OnWindowMessage(message)) return;
    OnOwnWindowMessage(message);
}

void CMainDlg::OnOwnControlEvent(const ControlEvent& event) {
    if (event.code != kEventCommand) return;
    if (event.name == "btn_close") {
        close();
    } else if (event.name == "btn_min") {
        showMinimized();
    } else if (event.name == "btn_max") {
        showMaximized();
    } else if (event.name == "btn_restore") {
        showNormal();
    } else if (event.name == "btn_menu" && m_mainMenu) {
        m_mainMenu->popup(QCursor::pos() + QPoint(0, 5));
    }
}

void CMainDlg::OnOwnWindowMessage(const WindowMessage& message) {
    switch (message.kind) {
        case WindowMessage::kTimer:
            if (message.message == kTimerUntopmost) {
                m_timers->StopTimer(kTimerUntopmost);
                const bool visible = isVisible();
                setWindowFlag(Qt::WindowStaysOnTopHint, false);
                if (visible) show();  // changing flags hides a window
            }
            break;
        case WindowMessage::kCommand:
            if (message.message >= 1 && message.message <= 10)
                OnMenuCommand(static_cast<int>(message.message) - 1);
            break;
        case WindowMessage::kPrivate:
            if (message.message == kMsgUpgradeFirmware) ShowUpgradeDialog();
            break;
        case WindowMessage::kDestroy:
        case WindowMessage::kHotkey:
        case WindowMessage::kPower:
        case WindowMessage::kQueryEndSession:
        case WindowMessage::kEndSession:
            break;
    }
}

void CMainDlg::OnMenuCommand(int index) {
    switch (index) {
        case 0:
            ShowDeviceInfo();
            break;
        case 1:
            // No separate update tool exists here: checking for updates is the firmware
            // upgrade dialog, opened as 1126 opens it.
            m_poster.PostMessage(kMsgUpgradeFirmware, 0, 0);
            break;
        case 3:
            if (CMainHideWnd* hide = m_app.HideWindow()) hide->OnCommand(CMainHideWnd::kCmdAbout);
            break;
        case 6:
            showNormal();
            break;
        case 7:
            if (CMainHideWnd* hide = m_app.HideWindow())
                hide->OnCommand(CMainHideWnd::kCmdAutoStart);
            break;
        case 9:
            close();
            break;
        default:
            break;
    }
}

void CMainDlg::ShowDeviceInfo() {
    if (!m_app.Session().IsConnected()) {
        msgbox::Show(this, QObject::tr("未连接设备！"), QObject::tr("提示"));
        return;
    }
    CDlgDeviceInfo dialog(CDlgDeviceInfo::QueryText(m_app.Session().Protocol()), this);
    dialog.exec();
}

void CMainDlg::ShowUpgradeDialog() {
    m_app.ShowUpgradeDialog(this);
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    // A window that closes to the tray, with no tray to come back through, would leave the
    // program running out of reach: it is minimised instead and stays in the task bar.
    if (!m_app.SwitchPending() && m_app.Settings().GetInt(CSettings::kCloseBtnOperation) != 1 &&
        !m_app.TrayReachable()) {
        event->ignore();
        showMinimized();
        return;
    }
    OnDestroy();
    event->accept();
}

void CMainDlg::OnDestroy() {
    if (m_destroyed) return;
    m_destroyed = true;
    DispatchWindowMessage({WindowMessage::kDestroy});
    if (CWorkSpace* ws = m_app.Workspace()) ws->SaveLastStatus();  // stores and lets the card go
    m_app.ForgetMainWindow(this);
    if (!m_app.SwitchPending() && m_app.Settings().GetInt(CSettings::kCloseBtnOperation) == 1)
        QApplication::quit();
}

void CMainDlg::mousePressEvent(QMouseEvent* event) {
    m_dragging = event->button() == Qt::LeftButton && event->position().y() < kCaptionHeight;
    if (m_dragging) m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CMainDlg::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
}
