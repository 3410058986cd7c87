#include "SendWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "Controls.h"
#include "MasterVolume.h"
#include "MessageBox.h"
#include "NotifyCenter.h"
#include "PcmConverter.h"
#include "QvAudioProtocol.h"
#include "UiEvents.h"
#include "UiLoader.h"
#include "UploadVolume.h"

namespace {

// The failures and their message boxes' captions, translated when shown.
constexpr const char* kNotice = QT_TRANSLATE_NOOP("QObject", "提示");
constexpr const char* kError = QT_TRANSLATE_NOOP("QObject", "错误");
constexpr const char* kDecodeFailed = QT_TRANSLATE_NOOP("QObject", "特效解码失败");
constexpr const char* kConvertFailed = QT_TRANSLATE_NOOP("QObject", "特效载入失败");
constexpr const char* kNoThread = QT_TRANSLATE_NOOP("QObject", "创建线程失败");
constexpr const char* kSendFailed = QT_TRANSLATE_NOOP("QObject", "载入特效失败");

// The default output's level; 1.0 (nothing taken off) when no sound server answers, so a
// missing server never silences an upload.
double MasterLevel() {
    double level = 1.0;
    if (!audio::ReadMasterVolume(level, nullptr, 500)) level = 1.0;
    return level;
}

}  // namespace

CSendWindow::CSendWindow(const Request& request, CQvAudioProtocol& protocol, INotifyCenter& center,
                         QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint),
      m_request(request),
      m_protocol(protocol),
      m_center(center),
      m_gate(std::make_shared<CNotifyGate>(center)),
      m_poster(this,
               [this](uint32_t message, uint64_t wParam, int64_t) { OnMessage(message, wParam); }) {
    m_protocol.soundTransferActive = true;
    setObjectName("dlgSendData");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* content = LoadLayout("LAYOUT:XML_SENDDATA", this);
    if (content) {
        layout->addWidget(content);
        setFixedSize(content->size());
        setWindowTitle(content->windowTitle());
        m_waiting = FindControl(content, "waitting_tip");
        m_sending = FindControl(content, "send_progress");
        m_progress = FindControlAs<QProgressBar>(content, "mood_effect");
        m_tip = FindControlAs<QLabel>(content, "txt_tip");
    }

    m_subscription = m_center.Subscribe(EventDecoderFinsh::kId, EventDecoderFinsh::kName,
                                        [this](EventArgs& event) { OnDecoderFinished(event); });
    const double master = m_request.master >= 0 ? m_request.master : MasterLevel();
    m_decoderVolume = upload::DecoderVolume(m_request.padVolume, upload::MasterPercent(master));
    if (!m_decoder.Start(m_request.source, m_decoderVolume, m_request.resourceFlag, m_gate)) {
        // No temporary file can be made: nothing can be decoded. Reported once the window
        // runs, so its owner sees the same close as for any other failure.
        QMetaObject::invokeMethod(
            this, [this] { Finish(kDecodeFailed, kNotice); }, Qt::QueuedConnection);
    }
}

CSendWindow::~CSendWindow() {
    m_center.Unsubscribe(m_subscription);
    m_sender.RequestStop();
    m_sender.Join();
    m_decoder.Cleanup();
    m_gate->Close();
    m_protocol.soundTransferActive = false;
}

void CSendWindow::OnDecoderFinished(EventArgs& e) {
    auto& event = static_cast<EventDecoderFinsh&>(e);
    if (event.Sender() != &m_decoder || m_stage != Stage::kDecoding) return;
    if (event.status != 1) {
        Finish(kDecodeFailed, kNotice);
        return;
    }
    std::vector<uint8_t> pcm;
    const bool converted = upload::LoadAndConvert(event.wavPath, pcm);
    m_decoder.Cleanup();  // the WAV file goes with it
    if (!converted) {
        Finish(kConvertFailed, kNotice);
        return;
    }
    m_stage = Stage::kWaiting;
    if (m_tip) m_tip->setText(QObject::tr("正在等待设备接受数据..."));
    if (!m_sender.Start(m_protocol, m_request.slot, std::move(pcm), &m_poster))
        Finish(kNoThread, kError);
}

void CSendWindow::OnMessage(uint32_t message, uint64_t wParam) {
    if (m_stage == Stage::kClosed) return;
    switch (message) {
        case upload::MSG_SEND_STARTED:
            m_stage = Stage::kSending;
            m_total = wParam;
            if (onProgress) onProgress(0, m_total);
            if (m_waiting) m_waiting->hide();
            if (m_sending) m_sending->show();
            if (m_progress) {
                m_progress->setRange(0, static_cast<int>(wParam));
                m_progress->setValue(0);
            }
            break;
        case upload::MSG_SEND_PROGRESS:
            if (m_progress) m_progress->setValue(static_cast<int>(wParam));
            if (onProgress) onProgress(wParam, m_total);
            break;
        case upload::MSG_SEND_DONE:
            m_sender.Join();
            if (wParam == 0)
                Finish();
            else
                Finish(kSendFailed, kNotice);
            break;
        default:
            break;
    }
}

void CSendWindow::Finish(const char* text, const char* caption) {
    if (m_stage == Stage::kClosed) return;
    m_stage = Stage::kClosed;
    m_closing = true;
    if (onFinished) onFinished(text ? QString::fromUtf8(text) : QString());
    QDialog::done(text ? Rejected : Accepted);
    if (text && !m_request.quiet)
        msgbox::Show(parentWidget(), QObject::tr(text), caption ? QObject::tr(caption) : QString(),
                     msgbox::kOk);
}

void CSendWindow::done(int result) {
    if (m_closing) QDialog::done(result);
}

void CSendWindow::closeEvent(QCloseEvent* event) {
    if (m_closing)
        QDialog::closeEvent(event);
    else
        event->ignore();
}
