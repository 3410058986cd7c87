#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CardModel.h"
#include "CardTransport.h"
#include "EmulatorTrace.h"

// The virtual card behind a device a host can open: a virtual HID socket (Start with a
// folder) or a kernel HID device (Start with a CUhidTransport). The server runs the card
// model, reply delays, level frames and faults; the transport only moves reports. One thread
// owns the transport and waits in poll(); other threads post work to it and wake it through
// an eventfd.
namespace lw52::emu {

enum class SendResult {
    kSent,      // queued for the connected host
    kNoClient,  // nothing connected: the frame is dropped (a knob still changes the card)
    kInvalid,   // rejected before anything changed
};

class CEmulatorServer : private ICardTransportEvents {
  public:
    explicit CEmulatorServer(const CardConfig& config = {});
    ~CEmulatorServer();
    CEmulatorServer(const CEmulatorServer&) = delete;
    CEmulatorServer& operator=(const CEmulatorServer&) = delete;

    // Creates dir (mode 0700) when missing and the socket "hid#VID_..&PID_..#instance" in
    // it, then serves on its own thread. False (nothing started) when the name is bad, the
    // path too long, another live card holds it, or the socket cannot be made.
    bool Start(const std::string& dir, const std::string& instance);
    // Plugs the transport in and serves it on its own thread. False (nothing started) when it
    // cannot be plugged in.
    bool Start(std::unique_ptr<ICardTransport> transport);
    // Ends the thread, disconnects the host and removes the device.
    void Stop();
    bool OpenTrace(const std::string& path);  // JSON lines; may be called before Start

    std::string SocketPath() const { return m_socketPath; }  // set by Start with a folder
    std::string Address() const { return m_address; }        // the transport's, set by Start
    CCardModel& Model() { return m_model; }

    // Level frames at hz per second while a host is connected; 0 stops them.
    void SetLevelsRate(int hz);
    SendResult SendLevels(int mic, int acc);
    // Turns knobs on the card: the live parameters change and a 0x9E goes to the host.
    SendResult TurnKnobs(const std::vector<ParamEntry>& entries);
    SendResult Inject(const Frame& frame);
    // count frames of length bytes (1..packet size) no host waits for: a stale reply code
    // and random bytes, as a card with a noisy line sends.
    SendResult SendJunk(int count, int length);

    // Both return once done: after Unplug the host's connection is closed and the device gone.
    // False when already in that state, not started, or (Plug) the device cannot be made.
    bool Unplug();
    bool Plug();
    // Ends the host's connection; the device stays and takes the next host. False without a
    // host (or on a kernel HID device).
    bool HangUp();
    bool IsPlugged() const;
    bool HasClient() const;
    int Connections() const;  // hosts served since Start
    int BusyRejects() const;  // hosts turned away while another was served

  private:
    using Clock = std::chrono::steady_clock;

    void Loop();
    bool RunOnLoop(std::function<bool()> work);
    void Wake();
    bool HostConnected() const { return m_transport && m_transport->HasHost(); }  // loop
    int PollTimeoutMs(Clock::time_point now);
    void DoUnplug();
    void FlushDue(Clock::time_point now);
    void TickLevels(Clock::time_point now);
    SendResult QueueFrame(Frame frame, Clock::time_point due);

    void OnHostConnected() override;
    void OnHostDisconnected() override;
    void OnHostRejected() override;
    void OnHostReport(const uint8_t* report, size_t size) override;
    void OnTransportEvent(const char* name, const std::string& detail) override;

    CCardModel m_model;
    CEmulatorTrace m_trace;
    std::string m_socketPath;  // written by Start before the thread exists
    std::string m_address;     // likewise
    std::thread m_thread;
    const int m_wakeFd;  // eventfd, lives as long as the server

    // Owned by the loop thread (and Start/Stop when it is not running).
    std::unique_ptr<ICardTransport> m_transport;
    int m_levelsStep = 0;

    mutable std::mutex m_mutex;  // guards everything below
    bool m_running = false;
    bool m_plugged = false;
    bool m_hasClient = false;
    int m_connections = 0;
    int m_busyRejects = 0;
    int m_levelsHz = 0;
    Clock::time_point m_nextLevels;
    std::multimap<Clock::time_point, Frame> m_outgoing;  // FIFO among equal due times
    struct Work {
        std::function<bool()> run;
        std::promise<bool> done;
    };
    std::deque<Work> m_work;
};

}  // namespace lw52::emu
