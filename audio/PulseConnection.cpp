#include "PulseConnection.h"

#include <sys/time.h>

#include <algorithm>
#include <chrono>

namespace audio {

namespace {

const char* kClientName = "LW52 control panel";

struct ListRequest {
    PulseConnection* connection;
    std::vector<DeviceInfo>* out;
    bool done = false;
};

void OnSink(pa_context*, const pa_sink_info* info, int eol, void* user) {
    auto* request = static_cast<ListRequest*>(user);
    if (eol) {
        request->done = true;
        request->connection->Signal();
        return;
    }
    if (info) request->out->push_back({info->name, info->description ? info->description : ""});
}

void OnSource(pa_context*, const pa_source_info* info, int eol, void* user) {
    auto* request = static_cast<ListRequest*>(user);
    if (eol) {
        request->done = true;
        request->connection->Signal();
        return;
    }
    // A monitor records what an output plays: it is not an input of the card.
    if (info && info->monitor_of_sink == PA_INVALID_INDEX)
        request->out->push_back({info->name, info->description ? info->description : ""});
}

struct Defaults {
    PulseConnection* connection;
    std::string sink, source;
    bool done = false;
};

void OnServerInfo(pa_context*, const pa_server_info* info, void* user) {
    auto* defaults = static_cast<Defaults*>(user);
    if (info) {
        defaults->sink = info->default_sink_name ? info->default_sink_name : "";
        defaults->source = info->default_source_name ? info->default_source_name : "";
    }
    defaults->done = true;
    defaults->connection->Signal();
}

struct SinkLevel {
    PulseConnection* connection;
    bool found = false;
    pa_volume_t volume = PA_VOLUME_MUTED;
};

void OnSinkLevel(pa_context*, const pa_sink_info* info, int eol, void* user) {
    auto* level = static_cast<SinkLevel*>(user);
    if (eol == 0 && info) {
        level->found = true;
        level->volume = pa_cvolume_max(&info->volume);
    }
    level->connection->Signal();
}

struct Exists {
    PulseConnection* connection;
    bool found = false;
    bool done = false;
};

template <typename Info>
void OnOneDevice(pa_context*, const Info* info, int eol, void* user) {
    auto* exists = static_cast<Exists*>(user);
    if (info) exists->found = true;
    if (eol) {
        exists->done = true;
        exists->connection->Signal();
    }
}

}  // namespace

PulseConnection::Lock::Lock(PulseConnection& c) : m_loop(c.m_loop) {
    pa_threaded_mainloop_lock(m_loop);
}

PulseConnection::Lock::~Lock() {
    pa_threaded_mainloop_unlock(m_loop);
}

PulseConnection::~PulseConnection() {
    if (!m_loop) return;
    {
        Lock lock(*this);
        DropContext();
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

bool PulseConnection::Start() {
    m_loop = pa_threaded_mainloop_new();
    if (!m_loop) return false;
    pa_threaded_mainloop_set_name(m_loop, "lw52-audio");
    if (pa_threaded_mainloop_start(m_loop) < 0) {
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
        return false;
    }
    return true;
}

pa_mainloop_api* PulseConnection::Api() const {
    return pa_threaded_mainloop_get_api(m_loop);
}

void PulseConnection::Signal() {
    pa_threaded_mainloop_signal(m_loop, 0);
}

bool PulseConnection::IsReady() const {
    return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

void PulseConnection::OnContextState(pa_context*, void* self) {
    static_cast<PulseConnection*>(self)->Signal();
}

void PulseConnection::DropContext() {
    if (!m_context) return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

bool PulseConnection::Connect(int timeoutMs, std::string& error) {
    if (IsReady()) return true;
    DropContext();  // a context that failed stays failed: start over
    m_context = pa_context_new(Api(), kClientName);
    if (!m_context) {
        error = "no sound server: cannot create a client context";
        return false;
    }
    pa_context_set_state_callback(m_context, &PulseConnection::OnContextState, this);
    // No autospawn: a control panel must not start a sound server of its own.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        error = "no sound server: " + ErrorText();
        DropContext();
        return false;
    }
    const bool answered = Wait(
        [this] {
            const pa_context_state_t s = pa_context_get_state(m_context);
            return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
        },
        timeoutMs);
    if (IsReady()) return true;
    error = answered ? "no sound server: " + ErrorText()
                     : "no sound server: no answer within " + std::to_string(timeoutMs) + " ms";
    DropContext();
    return false;
}

std::string PulseConnection::ErrorText() const {
    return pa_strerror(m_context ? pa_context_errno(m_context) : PA_ERR_UNKNOWN);
}

bool PulseConnection::Wait(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    bool timedOut = false;
    struct TimerData {
        PulseConnection* self;
        bool* timedOut;
    } data{this, &timedOut};
    timeval when;
    pa_gettimeofday(&when);
    pa_timeval_add(&when, static_cast<pa_usec_t>(timeoutMs < 0 ? 0 : timeoutMs) * PA_USEC_PER_MSEC);
    pa_mainloop_api* api = Api();
    pa_time_event* timer = api->time_new(
        api, &when,
        [](pa_mainloop_api*, pa_time_event*, const timeval*, void* user) {
            auto* d = static_cast<TimerData*>(user);
            *d->timedOut = true;
            d->self->Signal();
        },
        &data);
    bool ok = true;
    while (!done()) {
        if (timedOut) {
            ok = false;
            break;
        }
        pa_threaded_mainloop_wait(m_loop);
    }
    api->time_free(timer);
    return ok;
}

bool PulseConnection::WaitOperation(pa_operation* op, int timeoutMs) {
    if (!op) return false;
    const bool ok =
        Wait([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; }, timeoutMs);
    const bool finished = pa_operation_get_state(op) == PA_OPERATION_DONE;
    if (!ok) pa_operation_cancel(op);
    pa_operation_unref(op);
    return ok && finished;
}

bool PulseConnection::ServerDefaults(std::string& sink, std::string& source, int timeoutMs) {
    Defaults defaults{this, {}, {}, false};
    pa_operation* op = pa_context_get_server_info(m_context, OnServerInfo, &defaults);
    if (!WaitOperation(op, timeoutMs)) return false;
    sink = defaults.sink;
    source = defaults.source;
    return defaults.done;
}

bool PulseConnection::ListOutputs(std::vector<DeviceInfo>& out, int timeoutMs, std::string& error) {
    std::vector<DeviceInfo> list;
    ListRequest request{this, &list};
    std::string defaultSink, defaultSource;
    if (!ServerDefaults(defaultSink, defaultSource, timeoutMs) ||
        !WaitOperation(pa_context_get_sink_info_list(m_context, OnSink, &request), timeoutMs)) {
        error = "cannot list the outputs: " + ErrorText();
        return false;
    }
    for (auto& d : list) d.isDefault = d.name == defaultSink;
    out = std::move(list);
    return true;
}

bool PulseConnection::ListInputs(std::vector<DeviceInfo>& out, int timeoutMs, std::string& error) {
    std::vector<DeviceInfo> list;
    ListRequest request{this, &list};
    std::string defaultSink, defaultSource;
    if (!ServerDefaults(defaultSink, defaultSource, timeoutMs) ||
        !WaitOperation(pa_context_get_source_info_list(m_context, OnSource, &request), timeoutMs)) {
        error = "cannot list the inputs: " + ErrorText();
        return false;
    }
    for (auto& d : list) d.isDefault = d.name == defaultSource;
    out = std::move(list);
    return true;
}

bool PulseConnection::DefaultOutputLevel(double& level, int timeoutMs, std::string& error) {
    // One deadline for both questions.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string sink, source;
    if (!ServerDefaults(sink, source, timeoutMs) || sink.empty()) {
        error = "no default output: " + ErrorText();
        return false;
    }
    SinkLevel found{this};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pa_operation* op =
        pa_context_get_sink_info_by_name(m_context, sink.c_str(), OnSinkLevel, &found);
    if (!WaitOperation(op, std::max(1, static_cast<int>(left.count()))) || !found.found) {
        error = "cannot read the level of " + sink + ": " + ErrorText();
        return false;
    }
    level = std::min(1.0, static_cast<double>(found.volume) / PA_VOLUME_NORM);
    return true;
}

bool PulseConnection::DeviceExists(bool output, const std::string& name, int timeoutMs) {
    Exists exists{this};
    pa_operation* op = output ? pa_context_get_sink_info_by_name(m_context, name.c_str(),
                                                                 OnOneDevice<pa_sink_info>, &exists)
                              : pa_context_get_source_info_by_name(
                                    m_context, name.c_str(), OnOneDevice<pa_source_info>, &exists);
    // A missing name ends the operation with an error and no record: not found.
    WaitOperation(op, timeoutMs);
    return exists.found;
}

}  // namespace audio

#if defined(__SANITIZE_THREAD__)
// libpulse hands packets, memory blocks and its lazily made mutexes between threads through
// lock-free lists and pointers built on atomics that ThreadSanitizer cannot see (the library is
// not instrumented): its copies into recycled blocks, and the first lock of such a mutex, look
// like races. Only those functions of libpulse are named here; our code, its callbacks
// included, stays checked.
extern "C" const char* __tsan_default_suppressions() {
    return "race:pa_packet_new_data\n"
           "race:pa_srbchannel_read\n"
           "race:pa_mutex_lock\n"
           "race:pa_mutex_unlock\n";
}
#endif
