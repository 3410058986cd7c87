#include "CardAudio.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "TickCount.h"

namespace lw52::emu {
namespace {

constexpr const char* kSinkDescription = "LW52 Virtual Card Output";
constexpr const char* kSourceDescription = "LW52 Virtual Card Line In";
constexpr int kCloseTimeoutMs = 3000;

// Whether a module's argument line holds the word as a whole: arguments are separated by
// blanks, and the quoted values that may hold blanks come only after a '='.
bool HasArgument(const char* argument, const std::string& word) {
    if (!argument) return false;
    return (" " + std::string(argument) + " ").find(" " + word + " ") != std::string::npos;
}

std::string ServerName() {
    const char* server = getenv("PULSE_SERVER");
    return server && *server ? std::string(" at ") + server : std::string();
}

}  // namespace

CCardAudio::~CCardAudio() {
    Close();
}

bool CCardAudio::Open(std::string& error, int timeoutMs) {
    Close();
    m_deadlineMs = GetTickCountMs() + static_cast<uint64_t>(timeoutMs);
    if (!Connect(error)) {
        Close();
        return false;
    }
    // Modules of these names that an earlier run left (killed before it could remove them).
    const bool removed = RemoveModules([](const pa_module_info& module) {
        return (strcmp(module.name, "module-remap-source") == 0 &&
                HasArgument(module.argument, std::string("source_name=") + kSourceName)) ||
               (strcmp(module.name, "module-null-sink") == 0 &&
                HasArgument(module.argument, std::string("sink_name=") + kSinkName));
    });
    if (!removed) {
        error = "cannot remove the sound device an earlier run left behind: " + ServerError();
        Close();
        return false;
    }
    m_sinkModule =
        LoadModule("module-null-sink", std::string("sink_name=") + kSinkName +
                                           " sink_properties='device.description=\"" +
                                           kSinkDescription + "\"' rate=48000 channels=2");
    if (m_sinkModule == PA_INVALID_INDEX) {
        error = "the sound server did not load module-null-sink: " + ServerError();
        Close();
        return false;
    }
    m_sourceModule = LoadModule("module-remap-source",
                                std::string("source_name=") + kSourceName + " master=" + kSinkName +
                                    ".monitor source_properties='device.description=\"" +
                                    kSourceDescription + "\"'");
    if (m_sourceModule == PA_INVALID_INDEX) {
        error = "the sound server did not load module-remap-source: " + ServerError();
        Close();
        return false;
    }
    return true;
}

void CCardAudio::Close() {
    if (m_context) {
        // Bounded too: a server that stopped answering must not keep the emulator from exiting.
        m_deadlineMs = GetTickCountMs() + kCloseTimeoutMs;
        if (pa_context_get_state(m_context) == PA_CONTEXT_READY &&
            (m_sourceModule != PA_INVALID_INDEX || m_sinkModule != PA_INVALID_INDEX)) {
            const uint32_t source = m_sourceModule, sink = m_sinkModule;
            RemoveModules([&](const pa_module_info& module) {
                return module.index == source || module.index == sink;
            });
        }
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    m_sinkModule = m_sourceModule = PA_INVALID_INDEX;
    if (m_loop) {
        pa_mainloop_free(m_loop);
        m_loop = nullptr;
    }
}

bool CCardAudio::Connect(std::string& error) {
    m_loop = pa_mainloop_new();
    m_context = m_loop ? pa_context_new(pa_mainloop_get_api(m_loop), "lw52-emulator") : nullptr;
    if (!m_context) {
        error = "cannot set up a sound server connection";
        return false;
    }
    // No autospawn: a missing server is an error to report, not one to start behind the user.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        error = "no sound server" + ServerName() + ": " + ServerError();
        return false;
    }
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(m_context);
        if (state == PA_CONTEXT_READY) return true;
        if (!PA_CONTEXT_IS_GOOD(state)) {
            error = "no sound server" + ServerName() + ": " + ServerError();
            return false;
        }
        if (!Iterate()) {
            error = "the sound server" + ServerName() + " does not answer";
            return false;
        }
    }
}

bool CCardAudio::RemoveModules(const std::function<bool(const pa_module_info&)>& match) {
    struct Listing {
        const std::function<bool(const pa_module_info&)>& match;
        std::vector<uint32_t> sources;
        std::vector<uint32_t> others;
    };
    auto collect = [](pa_context*, const pa_module_info* info, int eol, void* user) {
        auto* listing = static_cast<Listing*>(user);
        if (eol || !info || !info->name || !listing->match(*info)) return;
        // Sources first: a remapped source records from a sink's monitor.
        const bool source = strstr(info->name, "-source") != nullptr;
        (source ? listing->sources : listing->others).push_back(info->index);
    };
    // The server acknowledges an unload before it has done it, so the list is read again until
    // the modules are gone: a sink of the same name loaded meanwhile would get another name.
    for (;;) {
        Listing listing{match, {}, {}};
        if (!Finish(pa_context_get_module_info_list(m_context, collect, &listing))) return false;
        if (listing.sources.empty() && listing.others.empty()) return true;
        for (const uint32_t index : listing.sources) Unload(index);
        for (const uint32_t index : listing.others) Unload(index);
    }
}

uint32_t CCardAudio::LoadModule(const char* name, const std::string& args) {
    uint32_t index = PA_INVALID_INDEX;
    auto loaded = [](pa_context*, uint32_t idx, void* user) {
        *static_cast<uint32_t*>(user) = idx;
    };
    if (!Finish(pa_context_load_module(m_context, name, args.c_str(), loaded, &index)))
        return PA_INVALID_INDEX;
    return index;
}

void CCardAudio::Unload(uint32_t index) {
    // Whether it worked shows in the next module list.
    Finish(pa_context_unload_module(m_context, index, nullptr, nullptr));
}

bool CCardAudio::Finish(pa_operation* op) {
    if (!op) return false;
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING) {
        if (!Iterate() || !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))) {
            pa_operation_cancel(op);
            break;
        }
    }
    const bool done = pa_operation_get_state(op) == PA_OPERATION_DONE;
    pa_operation_unref(op);
    return done;
}

bool CCardAudio::Iterate() {
    const uint64_t now = GetTickCountMs();
    if (now >= m_deadlineMs) return false;
    const auto timeoutUs = static_cast<int>((m_deadlineMs - now) * 1000);
    return pa_mainloop_prepare(m_loop, timeoutUs) >= 0 && pa_mainloop_poll(m_loop) >= 0 &&
           pa_mainloop_dispatch(m_loop) >= 0;
}

std::string CCardAudio::ServerError() const {
    return pa_strerror(pa_context_errno(m_context));
}

}  // namespace lw52::emu
