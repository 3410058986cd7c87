#include "PanelControl.h"

#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ControlBus.h"
#include "ControlResults.h"
#include "ControlSocketServer.h"
#include "EventHandlerEffect.h"
#include "EventHandlerSound.h"
#include "FrameDefs.h"
#include "Log.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "ParamTable.h"
#include "QvAudioProtocol.h"
#include "SessionBus.h"
#include "SoundPads.h"
#include "SoundSender.h"
#include "UiEvents.h"

namespace {

constexpr const char* kBuiltinPrefix = "builtin:";
constexpr double kCardBytesPerSecond = 48000 * 2.0;  // 48 kHz mono 16-bit

void Fail(const control::Reply& reply, const std::string& error) {
    reply.done(false, Json::Value(), error);
}

void Succeed(const control::Reply& reply, const Json::Value& result) {
    reply.done(true, result, std::string());
}

}  // namespace

CPanelControl::CPanelControl(CMainApp& app) : m_app(app), m_service(*this) {
    m_transferWatchdog.setSingleShot(true);
    m_transferWatchdog.setInterval(kTransferSilenceMs);
    connect(&m_transferWatchdog, &QTimer::timeout, this,
            [this] { FinishEffectUpload(false, "the transfer stopped without a result"); });
    Subscribe();
}

CPanelControl::~CPanelControl() {
    for (int token : m_subscriptions) m_app.NotifyCenter().Unsubscribe(token);
    // A card taken back while the window was closed is stored and let go as the window would.
    CWorkSpace* ws = m_app.Workspace();
    if (ws && !m_app.MainWindow() && ws->IsConnected()) ws->SaveLastStatus();
    m_bus.reset();
    m_socket.reset();
}

void CPanelControl::Start(const QString& socketPath) {
    m_socket = std::make_unique<CControlSocketServer>(m_service);
    QString error;
    if (m_socket->Listen(socketPath, &error)) {
        printf("lw52panel: control socket %s\n", qPrintable(socketPath));
    } else {
        QV_LOG("no control socket at %s: %s", qPrintable(socketPath), qPrintable(error));
        m_socket.reset();
    }
    if (!session_bus::Configured()) {
        QV_LOG("no session bus: the control interface is on the socket only");
    } else {
        m_bus = std::make_unique<CControlBus>(m_service);
        if (m_bus->Register(&error)) {
            printf("lw52panel: control service %s on the session bus\n", CControlBus::kService);
        } else {
            QV_LOG("control interface not on the session bus: %s", qPrintable(error));
            m_bus.reset();
        }
    }
    fflush(stdout);
}

void CPanelControl::Subscribe() {
    INotifyCenter& center = m_app.NotifyCenter();
    m_subscriptions.push_back(
        center.Subscribe(EventDeviceChanged::kId, EventDeviceChanged::kName, [this](EventArgs&) {
            CWorkSpace* ws = m_app.Workspace();
            if (ws && ws->IsConnected())
                m_service.Broadcast(
                    "connected", control::ConnectedData(m_app.Session().Builder().CurrentPath()));
            else
                m_service.Broadcast("disconnected",
                                    control::DisconnectedData(m_app.Session().LastError()));
        }));
    m_subscriptions.push_back(
        center.Subscribe(EventRecvData::kId, EventRecvData::kName, [this](EventArgs& e) {
            const FrameBytes& frame = static_cast<EventRecvData&>(e).frame;
            const int packet = m_app.Session().Protocol().GetPacketSize();
            for (const auto& [name, data] : control::CardFrameEvents(frame, packet))
                m_service.Broadcast(name, data);
        }));
}

Json::Value CPanelControl::WatchState() {
    AttachIfReleased();  // a released card sends no changes
    CWorkSpace* ws = m_app.Workspace();
    Json::Value state(Json::objectValue);
    const bool connected = ws && ws->IsConnected();
    state["connected"] = connected;
    state["path"] = connected ? m_app.Session().Builder().CurrentPath() : std::string();
    return state;
}

CEventHandlerEffect* CPanelControl::EffectPage() const {
    CMainDlg* window = m_app.MainWindow();
    return window && !window->Pages().empty()
               ? dynamic_cast<CEventHandlerEffect*>(window->Pages()[0].get())
               : nullptr;
}

CEventHandlerSound* CPanelControl::SoundPage() const {
    CMainDlg* window = m_app.MainWindow();
    return window && window->Pages().size() > 1
               ? dynamic_cast<CEventHandlerSound*>(window->Pages()[1].get())
               : nullptr;
}

void CPanelControl::AttachIfReleased(bool force) {
    CWorkSpace* ws = m_app.Workspace();
    if (!ws || ws->IsConnected() || !ws->IsDeviceAttached()) return;
    // A card that does not answer holds the UI thread for the connect's attempts: not again
    // on every request.
    if (!force && m_lastAttach.isValid() && m_lastAttach.elapsed() < kAttachRetryMs) return;
    m_lastAttach.start();
    ws->ReadStateFromCard();
    if (ws->IsConnected())
        m_service.Broadcast("connected",
                            control::ConnectedData(m_app.Session().Builder().CurrentPath()));
}

void CPanelControl::OnWindowClosed() {
    // After the window's own clean-up, from the event loop (not at all when the program ends).
    QTimer::singleShot(0, this, [this] {
        CWorkSpace* ws = m_app.Workspace();
        if (m_app.MainWindow() || !ws || ws->IsConnected() || !ws->IsDeviceAttached()) return;
        m_service.Broadcast("disconnected", control::DisconnectedData(
                                                "the panel's window closed and let the card go"));
        if (m_socket && m_socket->HasWatchers()) AttachIfReleased(true);
    });
}

bool CPanelControl::CardBusy() const {
    const CQvAudioProtocol& protocol = m_app.Session().Protocol();
    return protocol.IsSenderBusy() || protocol.soundTransferActive.load();
}

void CPanelControl::Execute(const control::Request& r, control::Reply reply) {
    CWorkSpace* ws = m_app.Workspace();
    if (!ws) return Fail(reply, "the panel is starting");
    using control::Op;
    const bool forCard = r.op != Op::kSaveEffect && r.op != Op::kSavePreset &&
                         r.op != Op::kPlayPad && r.op != Op::kStopPad && r.op != Op::kState;
    // While a file goes to the card the window takes no clicks; nor does the card take
    // anything else from here (the sender's frames must not interleave with ours).
    if (forCard && CardBusy()) return Fail(reply, kBusyText);
    if (forCard || r.op == Op::kState) AttachIfReleased();
    const bool connected = ws->IsConnected();
    switch (r.op) {
        case Op::kInfo: {
            if (!connected) return Fail(reply, kNoCardText);
            CQvAudioProtocol& protocol = m_app.Session().Protocol();
            uint8_t answer[lw52::kFrameBufferSize];
            if (!protocol.QueryDeviceInfo(answer))
                return Fail(reply,
                            "no reply: the card did not answer the device information request");
            return Succeed(reply, control::InfoResult(m_app.Session().Builder().CurrentPath(),
                                                      lw52::ParseDeviceInfoReply(answer),
                                                      protocol.GetPacketSize()));
        }
        case Op::kState:
            return Succeed(reply, control::StateResult(*ws, connected ? "card" : "stored"));
        case Op::kSet:
            return Set(r, std::move(reply));
        case Op::kEffect:
        case Op::kCustom:
        case Op::kPreset:
            return ApplyEffect(r, std::move(reply));
        case Op::kSaveEffect: {
            if (!ws->SaveEffectToSlot(r.cardSlot ? 0 : 1, r.slot, r.name))
                return Fail(reply, "cannot write " + ws->SettingsPath());
            if (CEventHandlerEffect* page = EffectPage()) page->RefreshEffectButtons();
            Json::Value out(Json::objectValue);
            out["saved"] = r.name;
            out["kind"] = r.cardSlot ? "card" : "user";
            out["slot"] = r.slot;
            return Succeed(reply, out);
        }
        case Op::kSavePreset: {
            ws->SaveCustomPreset(r.name, r.group, r.slot);
            if (CEventHandlerEffect* page = EffectPage()) page->RefreshPresetButtons();
            Json::Value out(Json::objectValue);
            out["saved"] = r.name;
            out["group"] = r.group;
            out["slot"] = r.slot;
            return Succeed(reply, out);
        }
        case Op::kUploadEffect:
            return UploadEffect(r, std::move(reply));
        case Op::kPlayPad:
            return PlayPad(r, std::move(reply));
        case Op::kStopPad: {
            CEventHandlerSound* page = SoundPage();
            if (!page) return Fail(reply, kNoWindowText);
            page->Stop();
            Json::Value out(Json::objectValue);
            out["stopped"] = true;
            return Succeed(reply, out);
        }
        case Op::kUploadSound:
            return UploadSound(r, std::move(reply));
        case Op::kSubscribe:
            break;  // the front doors keep their own watchers
    }
    Fail(reply, std::string("not an operation of the panel: ") + control::OpName(r.op));
}

void CPanelControl::Set(const control::Request& r, control::Reply reply) {
    CWorkSpace* ws = m_app.Workspace();
    if (!ws->IsConnected()) return Fail(reply, kNoCardText);
    for (const auto& [id, raw] : r.changes) ws->SetParamFromRemote(id, raw);
    // The window's send throttle may hold the last change up to 200 ms: the answer waits
    // for it, checking from the event loop.
    auto timer = new QTimer(this);
    timer->setInterval(20);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto finished = std::make_shared<bool>(false);
    auto check = [this, timer, clock, finished, changes = r.changes, reply]() {
        CWorkSpace* w = m_app.Workspace();
        bool pending = false;
        for (const auto& change : changes) pending |= w && w->Pending().count(change.first) > 0;
        if (!w || !w->IsConnected())
            Fail(reply, kNoCardText);
        else if (!pending)
            Succeed(reply, control::SetResult(changes));
        else if (clock->elapsed() >= kSetWaitMs)
            Fail(reply, "the card did not accept every change");
        else
            return;
        *finished = true;
        timer->stop();
        timer->deleteLater();
    };
    connect(timer, &QTimer::timeout, this, check);
    check();
    if (!*finished) timer->start();
}

void CPanelControl::ApplyEffect(const control::Request& r, control::Reply reply) {
    CWorkSpace* ws = m_app.Workspace();
    if (!ws->IsConnected()) return Fail(reply, kNoCardText);
    CEventHandlerEffect* page = EffectPage();
    bool applied = false;
    std::string refusal;
    if (r.op == control::Op::kEffect) {
        applied = page ? page->SelectEffect(CEventHandlerEffect::kFirstEffectButton + r.index)
                       : ws->ApplyEffect(r.index) != 0;
        refusal = "the card did not accept the effect";
    } else if (r.op == control::Op::kCustom) {
        const auto& custom = ws->CustomEffects();
        const bool stored = r.index < static_cast<int>(custom.size()) &&
                            custom[static_cast<size_t>(r.index)].empty != 1;
        applied = stored &&
                  (page ? page->SelectEffect(CEventHandlerEffect::kFirstEffectButton + 12 + r.index)
                        : ws->ApplyCustomEffect(r.index) != 0);
        refusal = "that user effect is empty";
    } else {
        applied = page ? page->SelectPreset(11000 + r.group * 100 + r.index)
                       : ws->ApplyPreset(r.group, r.index) != 0;
        refusal = "您尚未保存预设！ (that preset slot is empty or does not exist)";
    }
    if (!applied) return Fail(reply, refusal);
    Succeed(reply, control::EffectResult(*ws));
}

void CPanelControl::UploadEffect(const control::Request& r, control::Reply reply) {
    CWorkSpace* ws = m_app.Workspace();
    if (m_effectUpload) return Fail(reply, "another effect file is being sent to the card");
    if (!ws->IsConnected()) return Fail(reply, kNoCardText);
    std::string reason;
    const QString path = QString::fromStdString(r.file);
    int started = 0;
    if (CEventHandlerEffect* page = EffectPage()) {
        started = page->UploadEffectFromControl(r.slot, path, &reason);
    } else {
        started = ws->UploadEffectFile(r.file, r.slot, &reason);
        if (started && r.slot == 0)
            ws->SetFileEffect(QFileInfo(path).completeBaseName().toStdString(), r.file);
    }
    if (!started) return Fail(reply, "effect file refused: " + reason);
    m_effectUpload = std::move(reply);
    m_effectUploadResult = Json::Value(Json::objectValue);
    m_effectUploadResult["uploaded"] = r.file;
    m_effectUploadResult["slot"] = r.slot;
    m_effectUploadResult["result"] = 1;
    m_transferWatchdog.start();
}

void CPanelControl::OnProtocolMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    if (message != kMsgTransfer || !m_effectUpload) return;
    m_transferWatchdog.start();  // it is still talking
    if (wParam == kTransferProgress && m_effectUpload->progress) {
        Json::Value data(Json::objectValue);
        data["percent"] = static_cast<int>(lParam < 0 ? 0 : lParam > 100 ? 100 : lParam);
        m_effectUpload->progress(data);
    } else if (wParam == kTransferResult) {
        FinishEffectUpload(lParam == 1, "载入特效失败 (a frame was not acknowledged)");
    }
}

void CPanelControl::FinishEffectUpload(bool ok, const std::string& error) {
    m_transferWatchdog.stop();
    if (!m_effectUpload) return;
    const control::Reply reply = std::move(*m_effectUpload);
    m_effectUpload.reset();
    if (ok)
        Succeed(reply, m_effectUploadResult);
    else
        Fail(reply, error);
}

void CPanelControl::PlayPad(const control::Request& r, control::Reply reply) {
    CEventHandlerSound* page = SoundPage();
    if (!page) return Fail(reply, kNoWindowText);
    const int id = r.index;
    bool playing = false;
    if (pads::Classify(id).list == pads::PadList::Cloud) {
        playing = page->OnCloudPadClick(id);
    } else {
        SoundEntry entry;
        if (pads::FindEntry(m_app.Hotkeys(), id, entry) != pads::Lookup::kFound)
            return Fail(reply,
                        "no pad with id " + std::to_string(id) + " (see lw52ctl sounds list)");
        playing = page->PlayPad(id);
    }
    if (!playing)
        return Fail(reply, "播放失败 (pad " + std::to_string(id) + " could not be played)");
    Json::Value out(Json::objectValue);
    out["pad"] = id;
    out["playing"] = true;
    Succeed(reply, out);
}

void CPanelControl::UploadSound(const control::Request& r, control::Reply reply) {
    CWorkSpace* ws = m_app.Workspace();
    if (!SoundPage()) return Fail(reply, kNoWindowText);
    if (!ws->IsConnected()) return Fail(reply, kNoCardText);
    if (m_soundUpload) return Fail(reply, "a clip is already being sent to the card");
    CSendWindow::Request request;
    const bool builtin = r.file.rfind(kBuiltinPrefix, 0) == 0;
    request.source = builtin ? r.file.substr(strlen(kBuiltinPrefix)) : r.file;
    request.resourceFlag = builtin ? 1 : 0;
    request.slot = r.slot;
    request.padVolume = r.volume;
    request.master = r.master;
    request.quiet = true;  // the client is told; no box waits for a click
    if (!builtin && access(r.file.c_str(), R_OK) != 0)
        return Fail(reply, "特效解码失败 (cannot read " + r.file + ": " + strerror(errno) + ")");
    // Why a decode failed, as lw52ctl says it on its own.
    const std::string decodeDetail = builtin ? "no built-in clip named " + request.source
                                             : "nothing could be decoded from " + r.file;
    m_soundUpload = true;
    // The upload window runs modally: from the event loop, not inside the caller's request.
    QTimer::singleShot(0, this, [this, request, reply, decodeDetail, file = r.file] {
        struct Outcome {
            bool told = false;
            uint64_t acknowledged = 0;
            uint64_t total = 0;
            QElapsedTimer lastProgress;
        };
        auto outcome = std::make_shared<Outcome>();
        outcome->lastProgress.start();
        const int packet = m_app.Session().Protocol().GetPacketSize();
        const int payload = upload::PayloadSize(packet);
        auto progress = [outcome, reply, packet, payload] {
            outcome->lastProgress.restart();
            if (!reply.progress) return;
            Json::Value data(Json::objectValue);
            data["bytes"] = static_cast<Json::UInt64>(outcome->acknowledged);
            data["totalBytes"] = static_cast<Json::UInt64>(outcome->total);
            data["frames"] = static_cast<Json::UInt64>((outcome->acknowledged + payload - 1) /
                                                       static_cast<uint64_t>(payload));
            data["totalFrames"] = upload::DataFrameCount(static_cast<int>(outcome->total), packet);
            reply.progress(data);
        };
        // Decoding and the card's acceptance of the header say nothing for a while: the
        // client hears that the upload is alive.
        QTimer keepAlive;
        keepAlive.setInterval(1000);
        QObject::connect(&keepAlive, &QTimer::timeout, [outcome, progress] {
            if (!outcome->told && outcome->lastProgress.elapsed() >= 1000) progress();
        });
        keepAlive.start();
        CEventHandlerSound* page = SoundPage();
        const bool ran =
            page && page->UploadClip(request, [outcome, progress, packet, reply, request, file,
                                               decodeDetail](CSendWindow& window) {
                window.onProgress = [outcome, progress](uint64_t acked, uint64_t total) {
                    outcome->acknowledged = acked;
                    outcome->total = total;
                    // At most ten a second, and the last one whatever the time.
                    if (acked == 0 || acked >= total || outcome->lastProgress.elapsed() >= 100)
                        progress();
                };
                window.onFinished = [outcome, reply, packet, request, file,
                                     decodeDetail](const QString& failure) {
                    outcome->told = true;
                    if (!failure.isEmpty()) {
                        std::string text = failure.toStdString();
                        if (outcome->total > 0)
                            text += " (" + std::to_string(outcome->acknowledged) + " of " +
                                    std::to_string(outcome->total) +
                                    " bytes acknowledged before the card stopped answering)";
                        else if (text == "特效解码失败")
                            text += " (" + decodeDetail + ")";
                        return Fail(reply, text);
                    }
                    const int bytes = static_cast<int>(outcome->total);
                    Json::Value out(Json::objectValue);
                    out["path"] = file;
                    out["slot"] = request.slot;
                    out["bytes"] = bytes;
                    out["frames"] = upload::DataFrameCount(bytes, packet);
                    out["packetSize"] = packet;
                    out["seconds"] = bytes / kCardBytesPerSecond;
                    Succeed(reply, out);
                };
            });
        m_soundUpload = false;
        if (!page)
            Fail(reply, kNoWindowText);
        else if (!ran)
            Fail(reply, kBusyText);
        else if (!outcome->told)
            Fail(reply, "载入特效失败 (the upload window closed without a result)");
    });
}
