#pragma once

#include <sys/types.h>

#include <string>

// A private PulseAudio daemon for one test run: its own folder under /tmp, an anonymous unix
// socket, and these devices:
//   sinks   lw52_out  "LW52-Output"   (a null sink: the card's output)
//           other_out "Other-Output"  (the default sink)
//   sources lw52_line "LW52-Line-In"  (a remap of lw52_out's monitor: the card's line input,
//                                      so it hears what lw52_out plays)
//           other_in  "Other-Input"   (the default source)
// and each sink's monitor. Start points this process's PULSE_SERVER at it.
// The daemon is killed with the thread that started it (a crashed or killed test leaves no
// daemon behind), and its output goes to its log file, not to the test's.
// LW52_PULSE_DEBUG=1 in the environment makes the daemon log at debug level into Folder()/log.
class PulseDaemon {
  public:
    PulseDaemon() = default;
    ~PulseDaemon() { Stop(); }
    PulseDaemon(const PulseDaemon&) = delete;
    PulseDaemon& operator=(const PulseDaemon&) = delete;

    // Whether a pulseaudio program is installed (tests skip without one).
    static bool Available();

    // Starts the daemon and waits (bounded) until its socket answers; false with the reason
    // (and the daemon's log) in error.
    bool Start(std::string* error = nullptr, int timeoutMs = 10000);
    // Ends the daemon (SIGTERM, then SIGKILL) and removes its folder.
    void Stop();
    // Ends the daemon at once, as a crash would (SIGKILL); the folder stays until Stop.
    void Kill();
    bool Running();

    // "unix:<folder>/native"
    const std::string& ServerAddress() const { return m_address; }
    const std::string& Folder() const { return m_folder; }
    pid_t Pid() const { return m_pid; }
    // Sets PULSE_SERVER (and the client's cookie and config files) of this process to this
    // daemon again, e.g. after another daemon was started.
    void UseInThisProcess() const;

  private:
    bool Spawn(const std::string& program, std::string& error);

    pid_t m_pid = -1;
    std::string m_folder;
    std::string m_address;
};
