// lw52ctl while a panel runs: its card commands go over the panel's control socket, here a
// stand-in that answers canned lines, and print what the direct path prints.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "ChildProcess.h"
#include "CliJson.h"
#include "ControlRequest.h"

extern char** environ;

namespace {

// Listens on a Unix socket and answers each request line with the lines scripted for its op:
// "$ID" stands for the request's id, "<sleep MS>" pauses, "<close>" hangs up. An op without a
// script is never answered.
class FakePanel {
  public:
    explicit FakePanel(const std::string& path) : m_path(path) {
        m_listen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        EXPECT_EQ(bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << path;
        EXPECT_EQ(listen(m_listen, 8), 0);
        EXPECT_EQ(pipe2(m_stop, O_CLOEXEC), 0);
        m_thread = std::thread([this] { Serve(); });
    }
    ~FakePanel() {
        (void)!write(m_stop[1], "x", 1);
        m_thread.join();
        close(m_listen);
        close(m_stop[0]);
        close(m_stop[1]);
    }
    void On(const std::string& op, std::vector<std::string> lines) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_script[op] = std::move(lines);
    }
    // The requests received since the last call, each without its "id".
    std::vector<Json::Value> TakeRequests() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return std::exchange(m_requests, {});
    }

  private:
    bool Stopping(int fd) {
        pollfd p[2] = {{fd, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        return poll(p, 2, -1) < 0 || (p[1].revents & POLLIN);
    }
    void Serve() {
        while (!Stopping(m_listen)) {
            const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            ServeClient(client);
            close(client);
        }
    }
    void ServeClient(int client) {
        std::string buffer;
        char chunk[4096];
        while (!Stopping(client)) {
            const ssize_t n = read(client, chunk, sizeof chunk);
            if (n <= 0) return;
            buffer.append(chunk, static_cast<size_t>(n));
            for (size_t nl; (nl = buffer.find('\n')) != std::string::npos;) {
                const std::string line = buffer.substr(0, nl);
                buffer.erase(0, nl + 1);
                if (!Answer(client, line)) return;
            }
        }
    }
    bool Answer(int client, const std::string& line) {
        // Every request lw52ctl sends must pass the panel's own parser.
        control::Request parsed;
        std::string error;
        EXPECT_TRUE(control::ParseRequest(line, parsed, error)) << line << ": " << error;
        Json::Value request = ParseJson(line);
        const std::string id = request["id"].toStyledString();
        request.removeMember("id");
        std::vector<std::string> script;
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_requests.push_back(request);
            script = m_script[request["op"].asString()];
        }
        for (std::string out : script) {
            if (out == "<close>") return false;
            if (out.rfind("<sleep ", 0) == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(out.substr(7))));
                continue;
            }
            for (size_t at; (at = out.find("$ID")) != std::string::npos;)
                out.replace(at, 3, id.substr(0, id.find('\n')));
            out += "\n";
            if (send(client, out.data(), out.size(), MSG_NOSIGNAL) < 0) return false;
        }
        return true;
    }

    std::string m_path;
    int m_listen = -1;
    int m_stop[2] = {-1, -1};
    std::mutex m_mutex;  // guards m_script and m_requests
    std::map<std::string, std::vector<std::string>> m_script;
    std::vector<Json::Value> m_requests;
    std::thread m_thread;
};

std::string Answer(const std::string& result) {
    return "{\"id\":$ID,\"ok\":true,\"result\":" + result + "}";
}

// Runs lw52ctl with its stderr on a terminal (raw, so the bytes are as written): stdout and
// what the terminal got.
struct TerminalRun {
    int exitCode = -1;
    std::string out, terminal;
};
TerminalRun RunOnTerminal(const std::vector<std::string>& args,
                          const std::vector<std::string>& env) {
    TerminalRun run;
    int master = -1, slave = -1, out[2];
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 || pipe2(out, O_CLOEXEC) != 0)
        return run;
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    std::vector<std::string> argStore = {LW52CTL_PATH};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStore = env;  // first, so they win over the inherited ones
    for (char** e = environ; *e; ++e) envStore.emplace_back(*e);
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, slave, 2);
    pid_t pid = -1;
    const bool spawned =
        posix_spawn(&pid, LW52CTL_PATH, &actions, nullptr, argv.data(), envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(slave);
    close(out[1]);
    // Both ends read until the program has closed them (the terminal then says EIO).
    pollfd fds[2] = {{out[0], POLLIN, 0}, {master, POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.terminal};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (spawned && (fds[0].fd >= 0 || fds[1].fd >= 0) &&
           std::chrono::steady_clock::now() < deadline) {
        if (poll(fds, 2, 200) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !fds[i].revents) continue;
            char chunk[4096];
            const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
            if (n > 0)
                sinks[i]->append(chunk, static_cast<size_t>(n));
            else
                fds[i].fd = -1;
        }
    }
    close(out[0]);
    close(master);
    int status = 0;
    if (spawned && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}

class CliPanelLinkTest : public ::testing::Test {
  protected:
    void SetUp() override { std::filesystem::create_directories(vhid); }
    std::vector<std::string> Env(int timeoutMs = 5000) const {
        return {"XDG_RUNTIME_DIR=" + dir.Path(), "LW52_VHID_DIR=" + vhid,
                "XDG_DATA_HOME=" + dir.Path() + "/data",
                "LW52_CONTROL_TIMEOUT_MS=" + std::to_string(timeoutMs)};
    }
    RunResult Ctl(const std::vector<std::string>& args, int timeoutMs = 5000) const {
        return RunProgram(LW52CTL_PATH, args, Env(timeoutMs));
    }

    TempDir dir;
    std::string vhid = dir.Path() + "/vhid";
    std::string socketPath = dir.Path() + "/lw52panel.control";
};

TEST_F(CliPanelLinkTest, ResultsFromThePanelPrintAsTheDirectPathPrintsThem) {
    ChildProcess card;
    ASSERT_TRUE(card.Start(LW52_EMULATOR_PATH, {"--dir", vhid, "--hw", "12", "--fw", "105"}));
    ASSERT_NE(card.WaitForLine("listening on", 10000), "");
    FakePanel panel(socketPath);
    const struct {
        std::vector<std::string> args;
        const char* request;  // what the panel is asked
    } cases[] = {
        {{"info"}, R"({"op":"info"})"},
        {{"state"}, R"({"op":"state"})"},
        {{"set", "36", "50", "0", "5"}, R"({"op":"set","changes":[[36,50],[0,5]]})"},
        {{"effect", "2"}, R"({"op":"effect","index":2})"},
        {{"save-effect", "user", "3", "Mine"},
         R"({"op":"save-effect","target":"user","slot":3,"name":"Mine"})"},
    };
    for (const auto& c : cases) {
        const std::string name = c.args[0];
        std::vector<std::string> json = {"--json"};
        json.insert(json.end(), c.args.begin(), c.args.end());
        std::vector<std::string> direct = {"--direct"};
        direct.insert(direct.end(), c.args.begin(), c.args.end());
        std::vector<std::string> directJson = {"--direct"};
        directJson.insert(directJson.end(), json.begin(), json.end());

        const RunResult directText = Ctl(direct);
        const RunResult directResult = Ctl(directJson);
        ASSERT_EQ(directResult.exitCode, 0) << name << directResult.err;
        ASSERT_FALSE(directResult.out.empty());
        EXPECT_TRUE(panel.TakeRequests().empty()) << "--direct leaves the panel alone";

        // The panel answers with what the direct path built.
        const std::string result = directResult.out.substr(0, directResult.out.size() - 1);
        panel.On(name, {Answer(result)});
        const RunResult viaText = Ctl(c.args);
        const RunResult viaJson = Ctl(json);
        EXPECT_EQ(viaText.exitCode, 0) << name << viaText.err;
        EXPECT_EQ(viaText.out, directText.out) << name;
        EXPECT_EQ(viaJson.out, directResult.out) << name;
        const auto requests = panel.TakeRequests();
        ASSERT_EQ(requests.size(), 2u) << name;
        EXPECT_EQ(requests[0], ParseJson(c.request)) << name << ": " << requests[0];
    }
}

TEST_F(CliPanelLinkTest, RequestsRefusalsAndUsageErrors) {
    FakePanel panel(socketPath);
    const std::string clip = dir.Path() + "/clip.mp3";  // the panel reads it, not lw52ctl
    const std::string refusal = R"({"id":$ID,"ok":false,"error":"cannot write /x/settings.ini"})";
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> answer;
        std::string request;  // empty: none is sent
        int exitCode;
        std::string out, err;
    } cases[] = {
        {{"pad", "play", "5"},
         {Answer(R"({"pad":5,"playing":true})")},
         R"({"op":"play-pad","pad":5})",
         0,
         "playing pad 5\n",
         ""},
        {{"--json", "pad", "stop"},
         {Answer(R"({"stopped":true})")},
         R"({"op":"stop-pad"})",
         0,
         "{\"stopped\":true}\n",
         ""},
        {{"save-preset", "2", "1", "Hall"},
         {refusal},
         R"({"op":"save-preset","group":2,"slot":1,"name":"Hall"})",
         1,
         "",
         "lw52ctl: cannot write /x/settings.ini\n"},
        // A request the panel could not read is refused without an id.
        {{"custom", "4"},
         {R"x({"id":null,"ok":false,"error":"too many clients (at most 64)"})x"},
         R"({"op":"custom","index":4})",
         1,
         "",
         "lw52ctl: too many clients (at most 64)\n"},
        // Without --master the panel takes the system's level.
        {{"upload-sound", "builtin:DJ_ZS", "--slot", "2", "--volume", "40"},
         {Answer(R"({"path":"builtin:DJ_ZS","slot":2,"bytes":96000,"frames":1715,)"
                 R"("packetSize":64,"seconds":1.0})")},
         R"({"op":"upload-sound","file":"builtin:DJ_ZS","slot":2,"volume":40})",
         0,
         "uploaded builtin:DJ_ZS to sound slot 2: 96000 bytes in 1715 frames\n",
         ""},
        {{"upload-sound", clip, "--slot", "1", "--master", "0.5"},
         {refusal},
         R"({"op":"upload-sound","file":")" + clip + R"(","slot":1,"volume":100,"master":0.5})",
         1,
         "",
         "lw52ctl: cannot write /x/settings.ini\n"},
        {{"effect", "12"},
         {},
         "",
         2,
         "",
         "lw52ctl: usage: effect N (built-in effect 0..11) (see lw52ctl --help)\n"},
        {{"pad", "play", "x"},
         {},
         "",
         2,
         "",
         "lw52ctl: usage: pad play ID | pad stop (ids as sounds list prints them) (see lw52ctl "
         "--help)\n"},
    };
    for (const auto& c : cases) {
        const std::string name = c.args[c.args[0] == "--json" ? 1 : 0];
        if (!c.request.empty()) panel.On(ParseJson(c.request)["op"].asString(), c.answer);
        const RunResult r = Ctl(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << name << r.err;
        EXPECT_EQ(r.out, c.out) << name;
        EXPECT_EQ(r.err, c.err) << name;
        const auto requests = panel.TakeRequests();
        if (c.request.empty()) {
            EXPECT_TRUE(requests.empty()) << name << ": usage errors stay in lw52ctl";
        } else {
            ASSERT_EQ(requests.size(), 1u) << name;
            EXPECT_EQ(requests[0], ParseJson(c.request)) << name << ": " << requests[0];
        }
    }

    // The panel has a working folder of its own: a file's path is sent absolute.
    panel.On("upload-effect", {Answer(R"({"uploaded":"/u/fx.eff","slot":2,"result":1})")});
    const RunResult relative = RunProgram(
        "/bin/sh",
        {"-c", "cd \"$0\" && exec \"$1\" upload-effect fx.eff --slot 2", dir.Path(), LW52CTL_PATH},
        Env());
    EXPECT_EQ(relative.exitCode, 0) << relative.err;
    EXPECT_EQ(relative.out, "uploaded /u/fx.eff to custom slot 2\n");
    const auto requests = panel.TakeRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["file"].asString(),
              (std::filesystem::canonical(dir.Path()) / "fx.eff").string());
}

TEST_F(CliPanelLinkTest, OnlyThisUsersOwnSocketCountsAsThePanel) {
    const std::string direct = "lw52ctl: directly to the card\n";
    {
        std::ofstream(socketPath) << "a file where the socket belongs";
        const RunResult r = Ctl({"--verbose", "effect", "2"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("lw52ctl: not using " + socketPath + ": it is not a socket\n"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find(direct), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("no LW52 card found"), std::string::npos) << r.err;
        // Pads have no direct way.
        const RunResult pad = Ctl({"pad", "stop"});
        EXPECT_EQ(pad.exitCode, 1);
        EXPECT_EQ(pad.err,
                  "lw52ctl: pads are played by the running panel; start lw52panel, or use: "
                  "lw52ctl play PAD_ID\n");
        std::filesystem::remove(socketPath);
    }
    FakePanel panel(socketPath);
    panel.On("effect", {Answer(R"({"effect":2,"effectName":"KTV"})")});
    const RunResult via = Ctl({"--verbose", "effect", "2"});
    EXPECT_EQ(via.exitCode, 0) << via.err;
    EXPECT_EQ(via.out, "音效 2 KTV\n");
    EXPECT_NE(via.err.find("lw52ctl: through the running panel (" + socketPath + ")\n"),
              std::string::npos)
        << via.err;
    EXPECT_EQ(panel.TakeRequests().size(), 1u);

    std::vector<std::vector<std::string>> bypass = {
        {"--verbose", "--direct", "effect", "2"},
        {"--verbose", "--device", dir.Path() + "/no-card", "effect", "2"}};
    // Someone else's socket is not asked (only root can make one here).
    if (getuid() == 0) bypass.push_back({"--verbose", "effect", "2"});
    ASSERT_EQ(getuid() != 0 || chown(socketPath.c_str(), 65534, 65534) == 0, true);
    for (const auto& args : bypass) {
        const RunResult r = Ctl(args);
        EXPECT_EQ(r.exitCode, 1) << args[1];
        EXPECT_NE(r.err.find(direct), std::string::npos) << args[1] << r.err;
        EXPECT_TRUE(panel.TakeRequests().empty()) << args[1];
    }
    if (getuid() == 0) {
        EXPECT_NE(Ctl({"--verbose", "info"}).err.find(": it belongs to another user\n"),
                  std::string::npos);
    }
}

TEST_F(CliPanelLinkTest, APanelThatStopsAnsweringIsAFailureNotAHang) {
    FakePanel panel(socketPath);
    const std::string file = dir.Path() + "/fx.eff";
    auto progress = [](int percent) {
        return R"({"event":"progress","data":{"request":$ID,"percent":)" + std::to_string(percent) +
               "}}";
    };
    const std::string uploaded = Answer(R"({"uploaded":")" + file + R"(","slot":0,"result":1})");
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> script;
        int exitCode;
        std::string err;
    } cases[] = {
        {{"effect", "2"}, {}, 1, "lw52ctl: the panel stopped answering\n"},
        {{"effect", "2"},
         {"<close>"},
         1,
         "lw52ctl: the panel closed the connection without answering\n"},
        // With the limit at 1 s a transfer lives on while its progress keeps coming...
        {{"upload-effect", file},
         {progress(10), "<sleep 500>", progress(50), "<sleep 500>", progress(90), "<sleep 500>",
          uploaded},
         0,
         ""},
        // ...and not once it stops.
        {{"upload-effect", file},
         {progress(10), "<sleep 500>", progress(50)},
         1,
         "lw52ctl: the panel stopped answering\n"},
    };
    for (const auto& c : cases) {
        panel.On(c.args[0], c.script);
        const auto start = std::chrono::steady_clock::now();
        const RunResult r = Ctl(c.args, 1000);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << r.err;
        EXPECT_EQ(r.err, c.err) << c.args[0];
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
}

TEST_F(CliPanelLinkTest, ProgressEventsDrawTheBarOnATerminal) {
    FakePanel panel(socketPath);
    auto progress = [](const std::string& request, int bytes, int frames) {
        return R"({"event":"progress","data":{"request":)" + request + R"(,"bytes":)" +
               std::to_string(bytes) + R"(,"totalBytes":2000,"frames":)" + std::to_string(frames) +
               R"(,"totalFrames":2}})";
    };
    panel.On("upload-sound",
             {progress("$ID", 1000, 1), progress("999", 1500, 2),  // another request's
              progress("$ID", 2000, 2),
              Answer(R"({"path":"builtin:DJ_ZS","slot":1,"bytes":2000,"frames":2,)"
                     R"("packetSize":64,"seconds":0.02})")});
    const TerminalRun r = RunOnTerminal({"upload-sound", "builtin:DJ_ZS", "--slot", "1"}, Env());
    EXPECT_EQ(r.exitCode, 0) << r.terminal;
    EXPECT_EQ(r.out, "uploaded builtin:DJ_ZS to sound slot 1: 2000 bytes in 2 frames\n");
    EXPECT_EQ(r.terminal, "\r[" + std::string(15, '=') + std::string(15, ' ') +
                              "] 1/2 frames  1000/2000 bytes   50%\r[" + std::string(30, '=') +
                              "] 2/2 frames  2000/2000 bytes  100%\n");
}

TEST_F(CliPanelLinkTest, WatchPrintsThePanelsEventsAndCarriesOnWhenItGoes) {
    FakePanel panel(socketPath);
    const std::vector<std::string> subscribed = {
        Answer(R"({"connected":true,"path":"hid#emu9"})"),
        R"({"event":"change","data":{"id":36,"name":"混响","raw":50,"text":"50%"}})",
        R"({"event":"levels","data":{"mic":30,"accompaniment":40}})",
        R"({"event":"disconnected","data":{"reason":"unplugged"}})"};
    const struct {
        std::vector<std::string> args;
        bool panelQuits;
        const char* request;
        std::vector<std::string> lines;
    } cases[] = {
        {{"watch"},
         true,
         R"({"op":"subscribe","levels":true})",
         {"connected hid#emu9", "change 36 混响 = 50 (50%)", "levels mic 30 accompaniment 40",
          "disconnected: unplugged",
          "waiting for a card"}},  // from the direct watch: the card is free, none is here
        {{"--json", "watch", "--no-levels"},
         false,
         R"({"op":"subscribe","levels":false})",
         {R"({"event":"connected","path":"hid#emu9"})",
          R"({"event":"change","id":36,"name":"混响","raw":50,"text":"50%"})",
          R"({"event":"disconnected","reason":"unplugged"})"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> script = subscribed;
        if (c.panelQuits) script.push_back("<close>");
        panel.On("subscribe", script);
        ChildProcess watch;
        ASSERT_TRUE(watch.Start(LW52CTL_PATH, c.args, Env()));
        for (const std::string& expected : c.lines) {
            std::string line;
            ASSERT_TRUE(watch.ReadLine(line, 10000)) << expected;
            EXPECT_EQ(line, expected);
        }
        EXPECT_EQ(watch.Stop(), 0) << "SIGTERM ends the watch";
        const auto requests = panel.TakeRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0], ParseJson(c.request));
    }
}

}  // namespace
