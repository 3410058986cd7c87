#include "PanelLink.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "ControlResults.h"
#include "Json.h"
#include "TickCount.h"

namespace {

constexpr int kDefaultTimeoutMs = 10000;

int Remaining(uint64_t deadline) {
    const uint64_t now = GetTickCountMs();
    return now >= deadline ? 0 : static_cast<int>(deadline - now);
}

// A line of the panel's as JSON; false when it is none (jsoncpp throws on deep nesting).
bool ParseLine(const std::string& line, Json::Value& out) {
    Json::CharReaderBuilder builder;
    builder["failIfExtra"] = true;
    builder["stackLimit"] = 64;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    try {
        return reader->parse(line.data(), line.data() + line.size(), &out, nullptr);
    } catch (const Json::Exception&) {
        return false;
    }
}

}  // namespace

PanelLink::~PanelLink() {
    if (m_fd >= 0) close(m_fd);
}

int PanelLink::TimeoutMs() {
    const char* text = getenv("LW52_CONTROL_TIMEOUT_MS");
    const long ms = text ? strtol(text, nullptr, 10) : 0;
    return ms > 0 && ms <= 600000 ? static_cast<int>(ms) : kDefaultTimeoutMs;
}

bool PanelLink::Connect(const std::string& path, std::string& why) {
    why.clear();
    // Someone else's socket (or a file planted in /tmp) could pose as the panel and be told
    // which files to send; only this user's own socket is asked.
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) why = "not using " + path + ": " + strerror(errno);
        return false;
    }
    if (!S_ISSOCK(st.st_mode)) {
        why = "not using " + path + ": it is not a socket";
        return false;
    }
    if (st.st_uid != getuid()) {
        why = "not using " + path + ": it belongs to another user";
        return false;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        why = "not using " + path + ": the path is too long for a socket";
        return false;
    }
    memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        why = std::string("cannot make a socket: ") + strerror(errno);
        return false;
    }
    // A full backlog (EAGAIN) is a busy panel: it is given the answer's time limit.
    const uint64_t deadline = GetTickCountMs() + static_cast<uint64_t>(TimeoutMs());
    int rc;
    while ((rc = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr)) != 0 &&
           (errno == EAGAIN || errno == EINTR) && Remaining(deadline) > 0)
        SleepMs(20);
    if (rc != 0) {
        // ECONNREFUSED: a socket left behind by a panel that is gone.
        if (errno != ECONNREFUSED && errno != ENOENT)
            why = "not using " + path + ": " + strerror(errno);
        close(fd);
        return false;
    }
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != getuid()) {
        why = "not using " + path + ": another user's program listens there";
        close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

bool PanelLink::Send(const std::string& line, std::string& error) {
    const uint64_t deadline = GetTickCountMs() + static_cast<uint64_t>(TimeoutMs());
    for (size_t done = 0; done < line.size();) {
        const ssize_t n = send(m_fd, line.data() + done, line.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN) {
            error = std::string("cannot send to the panel: ") + strerror(errno);
            return false;
        }
        pollfd p{m_fd, POLLOUT, 0};
        if (Remaining(deadline) == 0 || poll(&p, 1, Remaining(deadline)) == 0) {
            error = "the panel stopped answering";
            return false;
        }
    }
    return true;
}

PanelLink::Got PanelLink::Next(int timeoutMs, Json::Value& message, std::string& error) {
    const uint64_t deadline =
        GetTickCountMs() + static_cast<uint64_t>(timeoutMs > 0 ? timeoutMs : 0);
    while (m_lines.empty()) {
        if (m_overlong) {
            error = "the panel sent a line longer than " +
                    std::to_string(control::kMaxLineBytes / 1024) + " KiB";
            return Got::kFailed;
        }
        if (m_eof) return Got::kClosed;
        pollfd p{m_fd, POLLIN, 0};
        const int ready = poll(&p, 1, Remaining(deadline));
        if (ready < 0 && errno == EINTR) return Got::kNothing;  // the caller checks its flags
        if (ready < 0) {
            error = std::string("cannot read from the panel: ") + strerror(errno);
            return Got::kFailed;
        }
        if (ready == 0) return Got::kNothing;
        char chunk[16384];
        const ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n < 0 && errno != ECONNRESET) {
            error = std::string("cannot read from the panel: ") + strerror(errno);
            return Got::kFailed;
        }
        if (n <= 0) {
            m_eof = true;
            continue;
        }
        m_splitter.Feed(
            std::string_view(chunk, static_cast<size_t>(n)),
            [this](std::string_view line) {
                if (!line.empty()) m_lines.emplace_back(line);
            },
            [this] { m_overlong = true; });
    }
    const std::string line = std::move(m_lines.front());
    m_lines.pop_front();
    if (!ParseLine(line, message) || !message.isObject()) {
        error = "the panel sent a line that is not a JSON object";
        return Got::kFailed;
    }
    return Got::kMessage;
}

void PanelLink::Dispatch(const Json::Value& message, const EventFn& onEvent) {
    const Json::Value& name = message["event"];
    if (!onEvent || !name.isString()) return;
    const Json::Value& data = message["data"];
    // An event whose members are not what lw52ctl knows is skipped, not fatal.
    try {
        onEvent(name.asString(), data.isObject() ? data : Json::Value(Json::objectValue));
    } catch (const Json::Exception&) {
    }
}

bool PanelLink::Call(Json::Value request, Json::Value& result, std::string& error,
                     const EventFn& onEvent, Wait wait) {
    const int id = ++m_lastId;
    request["id"] = id;
    if (!Send(ToJson(request) + "\n", error)) return false;
    const int limit = TimeoutMs();
    uint64_t deadline = GetTickCountMs() + static_cast<uint64_t>(limit);
    for (;;) {
        if (Remaining(deadline) == 0) {
            error = "the panel stopped answering";
            return false;
        }
        Json::Value m;
        switch (Next(Remaining(deadline), m, error)) {
            case Got::kNothing:
                continue;
            case Got::kClosed:
                error = "the panel closed the connection without answering";
                return false;
            case Got::kFailed:
                return false;
            case Got::kMessage:
                break;
        }
        if (wait == Wait::kSilence) deadline = GetTickCountMs() + static_cast<uint64_t>(limit);
        if (m.isMember("event")) {
            const Json::Value& data = m["data"];
            const bool other =
                m["event"] == "progress" && !(data.isObject() && data["request"].isIntegral() &&
                                              data["request"].asLargestInt() == id);
            if (!other) Dispatch(m, onEvent);
            continue;
        }
        const Json::Value& ok = m["ok"];
        const Json::Value& answerId = m["id"];
        if (!ok.isBool()) continue;  // not an answer
        // A refusal without an id answers a request the panel could not read (too long, too
        // many clients): this one, as only one is ever outstanding.
        const bool mine = answerId.isIntegral() ? answerId.asLargestInt() == id
                                                : answerId.isNull() && !ok.asBool();
        if (!mine) continue;
        if (ok.asBool()) {
            result = m["result"];
            return true;
        }
        const Json::Value& text = m["error"];
        error = text.isString() && !text.asString().empty() ? text.asString()
                                                            : "the panel refused the request";
        return false;
    }
}

PanelLink::Read PanelLink::ReadEvents(int timeoutMs, const EventFn& onEvent, std::string& error) {
    Json::Value m;
    switch (Next(timeoutMs, m, error)) {
        case Got::kNothing:
            return Read::kOk;
        case Got::kClosed:
            return Read::kClosed;
        case Got::kFailed:
            return Read::kFailed;
        case Got::kMessage:
            break;
    }
    if (m.isMember("event")) Dispatch(m, onEvent);
    return Read::kOk;
}

bool ThroughPanel(const CliContext& ctx, PanelLink& link, bool direct) {
    std::string why;
    const bool panel =
        !ctx.direct && ctx.devicePath.empty() && link.Connect(control::SocketPath(), why);
    if (ctx.verbose) {
        if (!why.empty()) fprintf(stderr, "lw52ctl: %s\n", why.c_str());
        if (panel)
            fprintf(stderr, "lw52ctl: through the running panel (%s)\n", link.Path().c_str());
        else if (direct)
            fprintf(stderr, "lw52ctl: directly to the card\n");
    }
    return panel;
}

int RunCardCommand(const CliContext& ctx, const PanelCall& call,
                   const std::function<int(Json::Value& result)>& direct,
                   const std::function<void(const Json::Value& result)>& print) {
    PanelLink link;
    Json::Value result;
    if (ThroughPanel(ctx, link)) {
        std::string error;
        const bool ok = link.Call(call.request, result, error, call.onEvent, call.wait);
        if (call.settle) call.settle();
        if (!ok) return Fail(error);
    } else if (const int rc = direct(result); rc != kExitOk) {
        return rc;
    }
    try {
        print(result);
    } catch (const Json::Exception& e) {
        return Fail(std::string("the panel's answer does not read as expected: ") + e.what());
    }
    return kExitOk;
}

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.string();
}
