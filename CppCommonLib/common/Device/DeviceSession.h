#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "HidDeviceBuilder.h"
#include "QvAudioProtocol.h"

class CDeviceManager;

// Which card the program is attached to: the first connection at start-up and the reaction
// to devices arriving and leaving while it runs. Owns the protocol and the builder (which
// owns the manager and the current device), so the panel and lw52ctl attach cards the same
// way. Everything runs on one thread (the UI thread in the panel); the hooks are called on it,
// except the card-gone wake-up, which is how the receive thread reaches that thread.
class CDeviceSession {
  public:
    // Pause after letting go of a removed card, before the workspace hears of it.
    static constexpr uint32_t kDetachPauseMs = 200;

    CDeviceSession() = default;
    ~CDeviceSession();
    CDeviceSession(const CDeviceSession&) = delete;
    CDeviceSession& operator=(const CDeviceSession&) = delete;

    // The workspace's OnDeviceChanged(removed). While unset, arrivals and removals are
    // ignored entirely: the program has no workspace to keep in step with a card.
    std::function<void(bool removed)> onWorkspaceNotify;
    // The workspace's ReadStateFromCard, run after the start-up connection succeeded. Kept
    // apart from onWorkspaceNotify because an arrival also announces a device change to the
    // UI, which start-up must not do.
    std::function<void()> onStartupConnected;

    // Creates the device manager. False (LastError set) when it cannot be created; the
    // program then runs without a card.
    bool Init();

    // The first connection: the first card with product 0x61; only when no 0x61 card is
    // present, the first with 0x7B. A 0x61 card that fails to open ends the attempt.
    // True when a card was attached (and onStartupConnected ran).
    bool ConnectAtStartup();
    // Attaches the card at path (a user's explicit choice); nothing is notified.
    bool ConnectPath(const std::string& path);

    // A device arrived (removed = false) or left. A removal of the attached card lets it go,
    // pauses kDetachPauseMs and notifies the workspace; removals of other devices are
    // ignored. An arrival while no card is attached opens a matching card (vendor 0x2B53,
    // product 0x61 or 0x7B) and notifies the workspace whether or not the open succeeded;
    // while a card is attached and live arrivals are ignored (one card at a time). An
    // attached card whose connection has ended is let go (as on its removal) before an
    // arrival is handled.
    void OnDevicePnp(bool removed, const std::string& devicePath);

    // The attached card hung up by itself (the receive loop saw it), which the hot-plug
    // watcher may never report. wake runs on the receive thread and only brings the
    // session's thread round (posts to it); that thread then calls OnCardGone. Without a
    // wake the session's loop calls OnCardGone on each turn. Set after Init; null clears it.
    void SetCardGoneWake(std::function<void()> wake);
    // On the session's thread: after a hang-up was seen, lets go of the card exactly as its
    // removal does, unless a removal or arrival has dealt with it meanwhile. True when a card
    // was let go.
    bool OnCardGone();

    bool IsConnected() const;
    // Why the last connection attempt failed; empty after a success.
    const std::string& LastError() const { return m_lastError; }

    CHidDeviceBuilder& Builder() { return m_builder; }
    CQvAudioProtocol& Protocol() { return m_protocol; }
    CDeviceManager* Manager() const { return m_builder.GetDeviceManager(); }

  private:
    void NoteOpenFailure(const std::string& path);
    void LetGo(const std::function<void(bool)>& notify);

    CQvAudioProtocol m_protocol;  // outlives the builder, whose manager refers to it
    CHidDeviceBuilder m_builder;
    std::string m_lastError;

    std::atomic<bool> m_gonePending{false};  // set on the receive thread, taken by OnCardGone
    std::mutex m_wakeMutex;                  // guards m_goneWake
    std::function<void()> m_goneWake;
};
