#include "DlgUpgradeFirmware.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <utility>

#include "AppPaths.h"
#include "CloudApi.h"
#include "Controls.h"
#include "DisplayNames.h"
#include "FirmwareVersion.h"
#include "MessageBox.h"
#include "SettingsBackup.h"
#include "UiLoader.h"

namespace {

// Colours as the layouts write them, "#RRGGBBAA": white for information, red for errors.
const QString kInfoStyle = QStringLiteral("color: rgba(255, 255, 255, 255);");
const QString kErrorStyle = QStringLiteral("color: rgba(200, 0, 0, 255);");

// Byte counts as the bar's int range (images are far below it; a writer's contract is not).
int ProgressValue(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, 0, INT_MAX));
}

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CDlgUpgradeFirmware::CDlgUpgradeFirmware(CQvAudioProtocol* protocol, Services services,
                                         QWidget* parent)
    : QDialog(parent),
      m_services(std::move(services)),
      m_packagePath(firmware::PackagePath()),
      m_poster(this, [this](uint32_t message, uint64_t wParam, int64_t lParam) {
          OnMessage(message, wParam, lParam);
      }) {
    if (!m_services.card) m_services.card = std::make_unique<firmware::CProtocolCardLink>(protocol);
    if (!m_services.writer) m_services.writer = std::make_unique<firmware::CCardFirmwareWriter>();
    setObjectName("DlgUpgradeFirmware");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (QWidget* content = LoadLayout("LAYOUT:XML_UPGRADEFIRMWARE", this)) {
        layout->addWidget(content);
        setFixedSize(content->size());
        setWindowTitle(content->windowTitle());
        m_msg = FindControlAs<QLabel>(content, "txt_msg");
        m_action = FindControlAs<QLabel>(content, "txt_currentaction");
        m_progress = FindControlAs<QProgressBar>(content, "progress");
        m_retry = FindControlAs<QAbstractButton>(content, "btn_retry");
        m_upgrade = FindControlAs<QAbstractButton>(content, "btn_upgrade");
        if (m_retry) connect(m_retry, &QAbstractButton::clicked, this, [this] { Retry(); });
        if (m_upgrade)
            connect(m_upgrade, &QAbstractButton::clicked, this, [this] { ConfirmUpgrade(); });
        if (auto* close = FindControlAs<QAbstractButton>(content, "btn_close"))
            connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
    }
    m_timers = new CWindowTimers([this](int id) { OnTimer(id); }, this);
    m_timers->StartTimer(kTimerStart, 300);
}

CDlgUpgradeFirmware::~CDlgUpgradeFirmware() {
    // Every phase watches the stop flag, so this ends within about a second (a stalled
    // download notices at its next progress call).
    m_worker.Stop();
    Hold(false);
    m_package.clear();
    // Closing the package deletes it; a dialog that never downloaded leaves the name alone.
    if (m_downloaded) unlink(m_packagePath.c_str());
}

bool CDlgUpgradeFirmware::Show(CQvAudioProtocol* protocol, std::function<void(bool)> holdSleep,
                               QWidget* parent) {
    Services services;
    services.holdSleep = std::move(holdSleep);
    CDlgUpgradeFirmware dialog(protocol, std::move(services), parent);
    dialog.exec();
    return dialog.UpgradeCompleted();
}

firmware::PostFn CDlgUpgradeFirmware::Poster() {
    return [this](uint32_t message, uint64_t wParam, int64_t lParam) {
        m_poster.PostMessage(message, wParam, lParam);
    };
}

void CDlgUpgradeFirmware::OnTimer(int id) {
    if (id != kTimerStart) return;
    m_timers->StopTimer(kTimerStart);
    CheckDevice();
    if (m_phase == kCardRead) AskServer();
}

void CDlgUpgradeFirmware::ShowMessage(const QString& text, bool error) {
    if (!m_msg) return;
    m_msg->setStyleSheet(error ? kErrorStyle : kInfoStyle);
    m_msg->setAlignment(Qt::AlignCenter);
    m_msg->setContentsMargins(0, 0, 0, 0);
    m_msg->setText(text);
    m_msg->show();
}

void CDlgUpgradeFirmware::ShowError() {
    if (!m_context.errorText.empty()) ShowMessage(CoreMessage(m_context.errorText), true);
    if (m_retry) m_retry->show();
}

void CDlgUpgradeFirmware::SetAction(const QString& text) {
    if (!m_action) return;
    m_action->setText(text);
    m_action->show();
}

void CDlgUpgradeFirmware::SetProgress(int value) {
    if (!m_progress) return;
    m_progress->setRange(0, 100);
    m_progress->setValue(value);
    m_progress->show();
}

void CDlgUpgradeFirmware::Hold(bool on) {
    if (on == m_holding) return;
    m_holding = on;
    if (m_services.holdSleep) m_services.holdSleep(on);
}

void CDlgUpgradeFirmware::CheckDevice() {
    if (m_msg) m_msg->hide();
    if (m_retry) m_retry->hide();
    m_phase = kCheckingCard;
    SetAction(QObject::tr("正在准备..."));
    SetAction(QObject::tr("正在检测设备..."));
    SetProgress(0);
    if (!m_services.card->IsConnected()) {
        ShowMessage(QObject::tr("未连接设备，请先连接设备"), true);
        if (m_retry) m_retry->show();
        return;
    }
    std::string hardware, firmwareVersion;
    if (!m_services.card->QueryVersions(hardware, firmwareVersion)) {
        m_context.errorText = "获取设备信息失败";
        ShowError();
        return;
    }
    m_context.hardwareVersion = hardware;
    m_context.firmwareVersion = firmwareVersion;
    m_phase = kCardRead;
}

void CDlgUpgradeFirmware::AskServer() {
    m_phase = kAskingServer;
    SetAction(QObject::tr("正在连接服务器..."));
    SetProgress(15);
    m_context.errorText.clear();
    const std::string url = cloud::ApiUrl(cloud::kPathCheckUpgrade, app_paths::SettingsPath());
    firmware::PostFn post = Poster();
    m_worker.Start([this, url, post](const std::atomic<bool>& stop) {
        const bool ok = firmware::CheckServerVersion(m_context, url, &stop);
        post(firmware::kMsgPhaseResult, firmware::kPhaseServer, ok ? 1 : 0);
    });
}

void CDlgUpgradeFirmware::OnServerResult(bool ok) {
    SetProgress(60);
    if (!ok) {
        ShowError();
        if (m_upgrade) m_upgrade->hide();
        return;
    }
    OnServerSuccess();
}

void CDlgUpgradeFirmware::OnServerSuccess() {
    m_phase = kServerAnswered;
    SetAction(QObject::tr("正在获取服务器固件版本信息..."));
    if (m_retry) m_retry->hide();
    if (m_upgrade) m_upgrade->hide();
    m_phase = kServerDone;
    Download();
}

void CDlgUpgradeFirmware::Download() {
    m_phase = kDownloading;
    SetAction(QObject::tr("正在下载固件文件..."));
    SetProgress(50);
    m_context.errorText.clear();
    m_context.steps.clear();
    m_context.flashes.clear();
    m_downloaded = true;
    firmware::PostFn post = Poster();
    m_worker.Start([this, post](const std::atomic<bool>& stop) {
        const bool ok = firmware::DownloadPackage(m_context, m_packagePath, m_package, post, &stop);
        post(firmware::kMsgPhaseResult, firmware::kPhaseDownload, ok ? 1 : 0);
    });
}

void CDlgUpgradeFirmware::OnDownloadResult(bool ok) {
    if (!ok) {
        ShowError();
        if (m_upgrade) m_upgrade->hide();
        return;
    }
    m_phase = kPackageReady;
    SetProgress(100);
    const QString firmwareVersion = Utf8(m_context.firmwareVersion);
    const QString hardware = Utf8(m_context.hardwareVersion);
    const QString latest = Utf8(m_context.latestVersion);
    const bool newer =
        firmware::CompareVersions(m_context.firmwareVersion, m_context.latestVersion) < 0;
    if (newer)
        ShowMessage(
            QObject::tr("当前固件版本：%1\n当前硬件版本：%2\n最新固件版本：%3\n\n%4")
                .arg(firmwareVersion, hardware, latest, QObject::tr("点击“立即升级”按钮开始升级")),
            false);
    else
        ShowMessage(
            QObject::tr("当前固件版本：%1                  当前硬件版本：%2\n最新固件版本：%3\n\n"
                        "固件已经是最新")
                .arg(firmwareVersion, hardware, latest),
            false);
    if (m_upgrade) m_upgrade->setVisible(newer);
    if (m_retry) m_retry->hide();
    if (m_action) m_action->hide();
    if (m_progress) m_progress->hide();
}

void CDlgUpgradeFirmware::ConfirmUpgrade() {
    const int answer = msgbox::Show(this,
                                    QObject::tr("1.升级固件有损坏设备的风险,请慎重升级。       \n"
                                                "2.升级时请勿拔出设备,请勿移动设备或碰触USB线。\n"
                                                "3.升级时电脑不能插入两个及两个以上声卡。      \n"
                                                "4.升级过程中请勿关闭固件升级窗口。\t\t        \n"),
                                    QObject::tr("注意事项"), msgbox::kOkCancel);
    if (answer == msgbox::kIdOk) StartWrite();
}

void CDlgUpgradeFirmware::StartWrite() {
    m_phase = kWriting;
    ShowMessage(QObject::tr("1.请勿拔出设备，请勿移动设备或碰触USB线。\n"
                            "2.升级时电脑不能插入两个及两个以上声卡。 \n"
                            "3.升级过程中请勿关闭固件升级窗口。\t     \n"),
                false);
    if (m_retry) m_retry->hide();
    if (m_upgrade) m_upgrade->hide();
    SetAction(QObject::tr("正在检测升级条件..."));
    SetProgress(0);
    m_context.errorText.clear();
    // What the card holds is kept on disk before anything is written to it.
    std::string reason;
    if (!firmware::BackUpSettings(m_backupPath, reason)) {
        m_context.errorText = std::string(firmware::kBackupFailedText) + "\n" + reason;
        ShowError();
        return;
    }
    Hold(true);
    firmware::PostFn post = Poster();
    m_worker.Start([this, post](const std::atomic<bool>& stop) {
        post(firmware::kMsgProgress, firmware::kProgressPreparing, 0);
        const bool ok = firmware::WriteFirmware(m_context, *m_services.card, *m_services.writer,
                                                post, stop, m_services.timings);
        post(firmware::kMsgPhaseResult, firmware::kPhaseWrite, ok ? 1 : 0);
    });
}

void CDlgUpgradeFirmware::OnWriteResult(bool ok) {
    Hold(false);
    if (m_retry) m_retry->hide();
    if (m_upgrade) m_upgrade->hide();
    if (!ok) {
        ShowError();
        return;
    }
    ShowMessage(QObject::tr("升级完成，请拔掉声卡设备的USB，然后重新插上USB，重启声卡设备。"),
                false);
    if (m_msg) {
        m_msg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_msg->setContentsMargins(0, 30, 0, 0);
    }
    if (m_action) m_action->hide();
    if (m_progress) m_progress->hide();
    m_phase = kFinished;
    m_completed = true;
}

void CDlgUpgradeFirmware::Retry() {
    if (m_msg) m_msg->hide();
    if (m_retry) m_retry->hide();
    SetProgress(0);
    switch (m_phase) {
        case kCheckingCard:
            CheckDevice();
            if (m_phase == kCardRead) AskServer();
            break;
        case kAskingServer:
            AskServer();
            break;
        case kServerAnswered:
            OnServerSuccess();
            break;
        case kDownloading:
        case kUnpacking:
            Download();
            break;
        case kWriting:
            StartWrite();
            break;
        default:
            break;
    }
}

void CDlgUpgradeFirmware::OnMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    if (message == firmware::kMsgProgress) {
        OnProgress(wParam, lParam);
        return;
    }
    if (message != firmware::kMsgPhaseResult) return;
    const bool ok = lParam == 1;
    switch (wParam) {
        case firmware::kPhaseServer:
            OnServerResult(ok);
            break;
        case firmware::kPhaseDownload:
            OnDownloadResult(ok);
            break;
        case firmware::kPhaseWrite:
            OnWriteResult(ok);
            break;
        default:
            break;
    }
}

void CDlgUpgradeFirmware::OnProgress(uint64_t code, int64_t value) {
    switch (code) {
        case firmware::kProgressPreparing:
            SetAction(QObject::tr("准备升级固件..."));
            break;
        case firmware::kProgressDownloading:
            SetAction(QObject::tr("正在下载固件文件..."));
            break;
        case firmware::kProgressDownloaded:
            SetProgress(70);
            break;
        case firmware::kProgressUnpacking:
            SetAction(QObject::tr("正在解压文件..."));
            SetProgress(80);
            m_phase = kUnpacking;
            break;
        case firmware::kProgressUnpacked:
            m_phase = kUnpacked;
            break;
        case firmware::kProgressConnecting:
            SetAction(QObject::tr("正在连接设备..."));
            SetProgress(0);
            break;
        case firmware::kProgressStep: {
            const size_t index = static_cast<size_t>(value);
            const std::string version =
                index < m_context.steps.size() ? m_context.steps[index].version : std::string();
            SetAction(QObject::tr("正在写入固件V%1...").arg(Utf8(version)));
            SetProgress(0);
            break;
        }
        case firmware::kProgressRange:
            if (m_progress) {
                // An empty range would show as busy: at least one step.
                m_progress->setRange(0, std::max(1, ProgressValue(value)));
                m_progress->setValue(0);
            }
            break;
        case firmware::kProgressPosition:
            if (m_progress) m_progress->setValue(ProgressValue(value));
            break;
        default:
            break;
    }
}
