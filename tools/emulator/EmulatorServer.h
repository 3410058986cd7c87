#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CardModel.h"
#include "EmulatorTrace.h"

// The virtual card behind a virtual HID device: a listening SOCK_SEQPACKET socket whose file
// appearing is an arrival and disappearing a removal. One thread owns every descriptor and
// waits in poll(); other threads post work to it and wake it through an eventfd.
namespace lw52::emu {

enum class SendResult {
    kSent,      // queued for the connected host
    kNoClient,  // nothing connected: the frame is dropped (a knob still changes the card)
    kInvalid,   // rejected before anything changed
};

class CEmulatorServer {
  public:
    explicit CEmulatorServer(const CardConfig& config = {});
    ~CEmulatorServer();
    CEmulatorServer(const CEmulatorServer&) = delete;
    CEmulatorServer& operator=(const CEmulatorServer&) = delete;

    // Creates dir (mode 0700) when missing and the socket "hid#VID_..&PID_..#instance" in
    // it, then serves on its own thread. False (nothing started) when the name is bad, the
    // path too long, another live card holds it, or the socket cannot be made.
    bool Start(const std::string& dir, const std::string& instance);
    // Ends the thread, closes the host's connection and removes the socket file.
    void Stop();
    bool OpenTrace(const std::string& path);  // JSON lines; may be called before Start

    std::string SocketPath() const { return m_socketPath; }  // set by Start
    CCardModel& Model() { return m_model; }

    // Level frames at hz per second while a host is connected; 0 stops them.
    void SetLevelsRate(int hz);
    SendResult SendLevels(int mic, int acc);
    // Turns knobs on the card: the live parameters change and a 0x9E goes to the host.
    SendResult TurnKnobs(const std::vector<ParamEntry>& entries);
    SendResult Inject(const Frame& frame);

    // Both return once done: after Unplug the host's connection is closed and the file gone.
    // False when already in that state, not started, or (Plug) the socket cannot be made.
    bool Unplug();
    bool Plug();
    bool IsPlugged() const;
    bool HasClient() const;
    int Connections() const;  // hosts served since Start
    int BusyRejects() const;  // hosts turned away while another was served

  private:
    using Clock = std::chrono::steady_clock;

    void Loop();
    bool RunOnLoop(std::function<bool()> work);
    void Wake();
    int PollTimeoutMs(Clock::time_point now);
    bool CreateListener();
    void RemoveListener();
    void AcceptClient();
    void ReadClient();
    void DropClient(const char* event);
    void DoUnplug();
    void FlushDue(Clock::time_point now);
    void TickLevels(Clock::time_point now);
    SendResult QueueFrame(Frame frame, Clock::time_point due);

    CCardModel m_model;
    CEmulatorTrace m_trace;
    std::string m_dir;
    std::string m_socketPath;  // written by Start before the thread exists
    std::thread m_thread;
    const int m_wakeFd;  // eventfd, lives as long as the server

    // Owned by the loop thread (and Start/Stop when it is not running).
    int m_listenFd = -1;
    int m_clientFd = -1;
    bool m_clientWantsWrite = false;  // the socket buffer was full: wait for POLLOUT
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
