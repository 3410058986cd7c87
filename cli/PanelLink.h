#pragma once

#include <json/json.h>

#include <deque>
#include <functional>
#include <string>

#include "CliContext.h"
#include "LineSplitter.h"

// lw52ctl's end of the running panel's control socket. While the panel runs it holds the card,
// so the card commands ask it instead: one JSON request per line, answered by the line with
// the same "id"; event lines ({"event": NAME, "data": {...}}) may arrive in between. Nothing
// here waits without a limit.
class PanelLink {
  public:
    using EventFn = std::function<void(const std::string& name, const Json::Value& data)>;
    // How the answer's time limit counts: from the request (kTotal), or from the last line the
    // panel sent (kSilence: transfers that report progress as they go).
    enum class Wait { kTotal, kSilence };
    enum class Read { kOk, kClosed, kFailed };

    PanelLink() = default;
    ~PanelLink();
    PanelLink(const PanelLink&) = delete;
    PanelLink& operator=(const PanelLink&) = delete;

    // Connects when path is a socket of this user's that a process of this user's listens on.
    // False otherwise (no panel runs, as far as lw52ctl is concerned), with why.
    bool Connect(const std::string& path, std::string& why);
    const std::string& Path() const { return m_path; }

    // Sends request under a fresh "id" and reads up to its answer; events in between go to
    // onEvent (progress events only when they name this request). True with the result;
    // false with the panel's refusal, or why no answer came, in error.
    bool Call(Json::Value request, Json::Value& result, std::string& error,
              const EventFn& onEvent = {}, Wait wait = Wait::kTotal);

    // Reads for up to timeoutMs and passes on the events that came (watch). kClosed once the
    // panel has gone and everything it sent was passed on.
    Read ReadEvents(int timeoutMs, const EventFn& onEvent, std::string& error);

    // The answer's time limit: $LW52_CONTROL_TIMEOUT_MS (tests), else 10 s.
    static int TimeoutMs();

  private:
    enum class Got { kMessage, kNothing, kClosed, kFailed };
    // The next whole line as JSON, waiting at most timeoutMs for it.
    Got Next(int timeoutMs, Json::Value& message, std::string& error);
    bool Send(const std::string& line, std::string& error);
    static void Dispatch(const Json::Value& message, const EventFn& onEvent);

    int m_fd = -1;
    std::string m_path;
    int m_lastId = 0;
    control::CLineSplitter m_splitter;
    std::deque<std::string> m_lines;  // received, not yet read
    bool m_eof = false;
    bool m_overlong = false;
};

// Whether a card command goes through the running panel: not when --direct or --device says
// otherwise, nor when no panel answers. Connects link when it does. With --verbose, says on
// stderr which way (when direct is false, the command has no way but the panel).
bool ThroughPanel(const CliContext& ctx, PanelLink& link, bool direct = true);

// A card command with two ways to its result: the panel's answer to request, or direct(),
// which returns kExitOk with the result filled or the exit code after its error line.
// print then prints the result either way (a result from the panel that does not read as
// expected is reported, not printed).
struct PanelCall {
    Json::Value request;           // without "id"
    PanelLink::EventFn onEvent;    // events while the panel works on the request
    std::function<void()> settle;  // once the panel's wait is over, before anything is printed
    PanelLink::Wait wait = PanelLink::Wait::kTotal;
};
int RunCardCommand(const CliContext& ctx, const PanelCall& call,
                   const std::function<int(Json::Value& result)>& direct,
                   const std::function<void(const Json::Value& result)>& print);

// path as the panel must get it: it runs in a working folder of its own.
std::string AbsolutePath(const std::string& path);
