#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "ControlService.h"

class CMainApp;
class CControlSocketServer;
class CControlBus;
class CEventHandlerEffect;
class CEventHandlerSound;

// The panel behind its control interface: requests from lw52ctl, scripts and desktop tools
// run through the same page and workspace calls as clicks, so the window follows at once
// (the knob moves, the effect button lights). Without a main window (the panel in the tray)
// card operations go to the workspace directly, taking the card back if the closing window
// let it go; pads need the window's sound-pad page.
// Card events reach the watchers of both front doors. UI thread only.
class CPanelControl : public QObject, public control::IControlTarget {
  public:
    static constexpr const char* kNoCardText =
        "no LW52 card found (the running panel has no card attached)";
    static constexpr const char* kNoWindowText =
        "the panel's window is closed: pads play from its sound-pad page (open it from the tray)";
    // An effect file's sender that has said nothing for this long is gone.
    static constexpr int kTransferSilenceMs = 6000;
    // How long a change may wait in the send throttle before it counts as refused.
    static constexpr int kSetWaitMs = 3000;
    // A card that does not take the connect request is asked again no sooner than this.
    static constexpr int kAttachRetryMs = 5000;
    static constexpr const char* kBusyText =
        "the card is receiving a file; try again when the transfer is done";

    explicit CPanelControl(CMainApp& app);
    ~CPanelControl() override;

    // Opens the front doors: the socket at socketPath and, when a session bus is there, the
    // bus name. Says on stdout what it opened.
    void Start(const QString& socketPath);
    // The main window has closed and let the card go: watchers are told, and a socket
    // watcher gets the card back.
    void OnWindowClosed();
    // Messages the card's protocol posts (1125 transfer progress and result), on the UI thread.
    void OnProtocolMessage(uint32_t message, uint64_t wParam, int64_t lParam);

    void Execute(const control::Request& request, control::Reply reply) override;
    Json::Value WatchState() override;

    control::CControlService& Service() { return m_service; }
    CControlSocketServer* SocketServer() const { return m_socket.get(); }
    CControlBus* Bus() const { return m_bus.get(); }

  private:
    void Subscribe();
    // The main window let the card go when it closed to the tray; a request for the card
    // takes it back (as the window's next start would find it).
    void AttachIfReleased(bool force = false);
    bool CardBusy() const;
    CEventHandlerEffect* EffectPage() const;
    CEventHandlerSound* SoundPage() const;
    void Set(const control::Request& request, control::Reply reply);
    void ApplyEffect(const control::Request& request, control::Reply reply);
    void UploadEffect(const control::Request& request, control::Reply reply);
    void FinishEffectUpload(bool ok, const std::string& error);
    void PlayPad(const control::Request& request, control::Reply reply);
    void UploadSound(const control::Request& request, control::Reply reply);

    CMainApp& m_app;
    control::CControlService m_service;
    std::unique_ptr<CControlSocketServer> m_socket;
    std::unique_ptr<CControlBus> m_bus;
    std::vector<int> m_subscriptions;

    // The effect file being sent for a client, its answer, and the sender's watchdog.
    std::optional<control::Reply> m_effectUpload;
    Json::Value m_effectUploadResult;
    QTimer m_transferWatchdog;
    bool m_soundUpload = false;  // a clip upload runs for a client
    QElapsedTimer m_lastAttach;  // the last attempt to take a released card back
};
