#include "PulseDaemon.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "ChildProcess.h"

extern char** environ;

namespace {

bool SocketAnswers(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

bool PulseDaemon::Available() {
    return !FindProgram("pulseaudio").empty();
}

bool PulseDaemon::Start(std::string* error, int timeoutMs) {
    Stop();
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        Stop();
        return false;
    };
    const std::string program = FindProgram("pulseaudio");
    if (program.empty()) return fail("pulseaudio is not installed");
    std::string pattern = "/tmp/lw52-pulse-XXXXXX";
    if (!mkdtemp(pattern.data())) return fail("cannot create a folder under /tmp");
    m_folder = pattern;
    m_address = "unix:" + m_folder + "/native";
    const std::string socketPath = m_folder + "/native";
    // .fail: a module that does not load ends the daemon instead of running without it. The
    // socket comes last, so once it answers every device is there.
    std::ofstream(m_folder + "/devices.pa")
        << ".fail\n"
           "load-module module-null-sink sink_name=lw52_out rate=48000 channels=2 "
           "sink_properties=device.description=LW52-Output\n"
           "load-module module-null-sink sink_name=other_out rate=48000 channels=2 "
           "sink_properties=device.description=Other-Output\n"
           "load-module module-remap-source source_name=lw52_line master=lw52_out.monitor "
           "source_properties=device.description=LW52-Line-In\n"
           "load-module module-null-source source_name=other_in description=Other-Input\n"
           "set-default-sink other_out\n"
           "set-default-source other_in\n"
           "load-module module-native-protocol-unix auth-anonymous=1 socket="
        << socketPath << "\n";
    std::ofstream(m_folder + "/client.conf") << "autospawn = no\n";
    std::string spawnError;
    const bool started = Spawn(program, spawnError);
    if (!started) return fail("cannot start " + program + ": " + spawnError);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!SocketAnswers(socketPath)) {
        if (!Running()) return fail("pulseaudio ended at start:\n" + ReadFile(m_folder + "/log"));
        if (std::chrono::steady_clock::now() > deadline)
            return fail("pulseaudio did not answer within " + std::to_string(timeoutMs) + " ms:\n" +
                        ReadFile(m_folder + "/log"));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    UseInThisProcess();
    return true;
}

void PulseDaemon::UseInThisProcess() const {
    setenv("PULSE_SERVER", m_address.c_str(), 1);
    // Clients read and write their cookie and config here, not in this user's home.
    setenv("PULSE_COOKIE", (m_folder + "/cookie").c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", (m_folder + "/client.conf").c_str(), 1);
}

bool PulseDaemon::Spawn(const std::string& program, std::string& error) {
    // Everything the child needs is made before the fork: after it, only exec-safe calls.
    std::vector<std::string> args = {
        program,
        "-n",
        "--daemonize=no",
        "--exit-idle-time=-1",
        "--use-pid-file=no",
        "--realtime=no",
        "--high-priority=no",
        std::getenv("LW52_PULSE_DEBUG") ? "--log-level=debug" : "--log-level=warning",
        "--log-target=file:" + m_folder + "/log",
        "-F",
        m_folder + "/devices.pa"};
    // The daemon keeps its state, runtime files and cookie in the folder, not in this user's.
    std::vector<std::string> env = {"HOME=" + m_folder, "XDG_RUNTIME_DIR=" + m_folder,
                                    "XDG_CONFIG_HOME=" + m_folder, "XDG_STATE_HOME=" + m_folder};
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        if (name != "HOME=" && name.rfind("XDG_", 0) != 0 && name.rfind("PULSE_", 0) != 0)
            env.push_back(entry);
    }
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) {
        error = std::strerror(errno);
        return false;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // Dies with the thread that started it, even when that one is killed.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        dup2(devNull, 0);
        dup2(devNull, 1);
        dup2(devNull, 2);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    const int forkErrno = errno;
    close(devNull);
    if (pid < 0) {
        error = std::strerror(forkErrno);
        return false;
    }
    m_pid = pid;
    return true;
}

bool PulseDaemon::Running() {
    if (m_pid <= 0) return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) m_pid = -1;  // it ended: reaped
    return m_pid > 0;
}

void PulseDaemon::Kill() {
    if (!Running()) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

void PulseDaemon::Stop() {
    if (Running()) {
        kill(m_pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (Running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Kill();
    }
    if (m_folder.empty()) return;
    // A client connecting later would create the cookie's folder again. PULSE_SERVER keeps
    // naming the gone socket, so no client reaches (or starts) another server.
    const char* cookie = std::getenv("PULSE_COOKIE");
    if (cookie && std::string(cookie) == m_folder + "/cookie") {
        unsetenv("PULSE_COOKIE");
        unsetenv("PULSE_CLIENTCONFIG");
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
    m_folder.clear();
}
