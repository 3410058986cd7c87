#include "FixtureServer.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <utility>

namespace {

constexpr const char* kHost = "127.0.0.1";
constexpr const char* kFormType = "application/x-www-form-urlencoded";
constexpr const char* kJsonType = "application/json;charset=UTF-8";
// Larger than the clients' 102400-byte response buffer.
constexpr size_t kOversizePadding = 150 * 1024;

const struct {
    const char* name;
    FixtureServer::Fault fault;
} kFaults[] = {
    {"clear", FixtureServer::Fault::None},
    {"status404", FixtureServer::Fault::Status404},
    {"status500", FixtureServer::Fault::Status500},
    {"slow", FixtureServer::Fault::Slow},
    {"oversize", FixtureServer::Fault::Oversize},
    {"badjson", FixtureServer::Fault::BadJson},
    {"notok", FixtureServer::Fault::NotOk},
    {"truncate", FixtureServer::Fault::Truncate},
    {"flood", FixtureServer::Fault::Flood},
    {"hugelength", FixtureServer::Fault::HugeLength},
    {"clipfail", FixtureServer::Fault::ClipFail},
    {"nopackage", FixtureServer::Fault::NoPackage},
    {"wronganswer", FixtureServer::Fault::WrongAnswer},
    {"shortpackage", FixtureServer::Fault::ShortPackage},
};
// The flood fault stops by itself after this much, should a client never hang up.
constexpr size_t kFloodLimitBytes = size_t{1} << 30;
constexpr size_t kFloodChunkBytes = 64 * 1024;
constexpr size_t kHugeLength = size_t{4} << 30;

std::string JsonText(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

void Refuse(httplib::Response& res, int status, const std::string& why) {
    res.status = status;
    res.set_content(why + "\n", "text/plain;charset=UTF-8");
}

}  // namespace

FixtureServer::FixtureServer(std::filesystem::path root, int slowMs, bool verbose)
    : root_(std::move(root)), slowMs_(slowMs), verbose_(verbose) {}

const char* FixtureServer::FaultNames() {
    return "status404 status500 slow oversize badjson notok truncate flood hugelength clipfail "
           "nopackage wronganswer shortpackage clear";
}

bool FixtureServer::SetFault(const std::string& name) {
    for (const auto& f : kFaults)
        if (name == f.name) {
            fault_ = f.fault;
            return true;
        }
    return false;
}

FixtureServer::Fault FixtureServer::ActiveFault() const {
    return fault_.load();
}

int FixtureServer::Bind(int port) {
    const int bound = port == 0 ? server_.bind_to_any_port(kHost)
                                : (server_.bind_to_port(kHost, port) ? port : -1);
    if (bound <= 0) return -1;
    catalog_ = std::make_unique<FixtureCatalog>(
        root_, "http://" + std::string(kHost) + ":" + std::to_string(bound) + "/tuning");
    Route();
    return bound;
}

bool FixtureServer::Serve() {
    return server_.listen_after_bind();
}

void FixtureServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(holdMutex_);
        stopping_ = true;
    }
    holdWake_.notify_all();
    server_.stop();
}

void FixtureServer::HoldReply() {
    std::unique_lock<std::mutex> lock(holdMutex_);
    holdWake_.wait_for(lock, std::chrono::milliseconds(slowMs_), [this] { return stopping_; });
}

bool FixtureServer::ApplyCommonFault(Fault fault, httplib::Response& res) {
    switch (fault) {
        case Fault::Status404:
            Refuse(res, 404, "not found (fault status404)");
            return true;
        case Fault::Status500:
            Refuse(res, 500, "server error (fault status500)");
            return true;
        case Fault::Slow:
            HoldReply();
            return false;
        default:
            return false;
    }
}

void FixtureServer::SendEnvelope(const Json::Value& data, httplib::Response& res) {
    const Fault fault = ActiveFault();
    if (fault == Fault::BadJson) {
        res.set_content("{\"message\":\"ok\",\"data\":[{\"soundName\":", kJsonType);
        return;
    }
    Json::Value envelope(Json::objectValue);
    envelope["message"] = fault == Fault::NotOk ? "fail" : "ok";
    envelope["data"] = data;
    if (fault == Fault::Oversize) envelope["padding"] = std::string(kOversizePadding, 'x');
    res.set_content(JsonText(envelope), kJsonType);
}

bool FixtureServer::CheckForm(const httplib::Request& req, httplib::Response& res) {
    if (req.get_header_value("Content-Type").rfind(kFormType, 0) == 0) return true;
    Refuse(res, 400, "expected a form-encoded body");
    return false;
}

void FixtureServer::ServeFile(const httplib::Request& req, httplib::Response& res) {
    const std::filesystem::path file = catalog_->FileFor(req.matches[1].str());
    if (file.empty()) return Refuse(res, 404, "no such file");
    std::ifstream in(file, std::ios::binary);
    auto content = std::make_shared<std::string>(std::istreambuf_iterator<char>(in),
                                                 std::istreambuf_iterator<char>());
    const char* type = file.extension() == ".mp3" ? "audio/mpeg" : "application/octet-stream";
    const Fault fault = ActiveFault();
    if (fault == Fault::Flood) {
        res.set_chunked_content_provider(type, [](size_t offset, httplib::DataSink& sink) {
            static const std::string chunk(kFloodChunkBytes, 'f');
            if (offset >= kFloodLimitBytes || !sink.is_writable()) return false;
            return sink.write(chunk.data(), chunk.size());
        });
        return;
    }
    if (fault == Fault::HugeLength) {
        res.set_content_provider(
            kHugeLength, type, [content](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset < content->size())
                    sink.write(content->data() + offset, content->size() - offset);
                return false;
            });
        return;
    }
    if (fault == Fault::ShortPackage) {
        res.set_content(content->substr(0, content->size() / 2), type);
        return;
    }
    if (fault != Fault::Truncate) {
        res.set_content(*content, type);
        return;
    }
    // Announce the whole file, send half of it, then fail the provider: the server closes
    // the connection with the body incomplete.
    res.set_content_provider(content->size(), type,
                             [content](size_t offset, size_t, httplib::DataSink& sink) {
                                 const size_t half = content->size() / 2;
                                 if (offset < half)
                                     sink.write(content->data() + offset, half - offset);
                                 return false;
                             });
}

void FixtureServer::Route() {
    using Handler = httplib::Server::Handler;
    // Every /tuning reply passes the HTTP-level faults first.
    auto withFaults = [this](Handler handler) -> Handler {
        return [this, handler](const httplib::Request& req, httplib::Response& res) {
            if (!ApplyCommonFault(ActiveFault(), res)) handler(req, res);
        };
    };
    auto exactBody = [this](const char* body, std::function<Json::Value()> data) -> Handler {
        return [this, body, data](const httplib::Request& req, httplib::Response& res) {
            if (!CheckForm(req, res)) return;
            if (req.body != body) return Refuse(res, 400, "unexpected body: " + req.body);
            SendEnvelope(data(), res);
        };
    };

    server_.Post("/tuning/api/effect_sound/getSoundByCategory.json",
                 withFaults(exactBody("genreId=14&pageNumber=1&categoryId=-1&pageSize=10000",
                                      [this] { return catalog_->EffectList(); })));
    server_.Post("/tuning/api/live/getSpecialEffectCategory.json",
                 withFaults(exactBody("", [this] { return catalog_->SoundCategories(); })));
    server_.Post("/tuning/api/live/findByCategory.json",
                 withFaults([this](const httplib::Request& req, httplib::Response& res) {
                     if (!CheckForm(req, res)) return;
                     if (ActiveFault() == Fault::ClipFail)
                         return Refuse(res, 500, "server error (fault clipfail)");
                     static const std::regex kBody("categoryId=(-?[0-9]{1,9})");
                     std::smatch m;
                     if (!std::regex_match(req.body, m, kBody))
                         return Refuse(res, 400, "unexpected body: " + req.body);
                     SendEnvelope(catalog_->SoundsOfCategory(std::stoi(m[1].str())), res);
                 }));
    server_.Post("/tuning/api/effect_sound/checkAppUpgrade.json",
                 withFaults([this](const httplib::Request& req, httplib::Response& res) {
                     if (!CheckForm(req, res)) return;
                     if (req.body != "appVer=1&appType=22")
                         return Refuse(res, 400, "unexpected body: " + req.body);
                     Json::Value data;
                     if (!catalog_->UpgradeAnswer(data))
                         return Refuse(res, 500, "firmware/upgrade.json is missing or invalid");
                     const Fault fault = ActiveFault();
                     if (fault == Fault::NoPackage) data["url"] = data["url"].asString() + ".gone";
                     if (fault == Fault::WrongAnswer) {
                         data["currentVer"] = "1.2";
                         data.removeMember("url");
                     }
                     SendEnvelope(data, res);
                 }));
    server_.Get("/tuning/files/(.+)",
                withFaults([this](const httplib::Request& req, httplib::Response& res) {
                    ServeFile(req, res);
                }));
    // POST as the clients send it; GET too, for a quick switch from a browser or curl.
    const Handler setFault = [this](const httplib::Request& req, httplib::Response& res) {
        const std::string name = req.get_param_value("name");
        if (!SetFault(name)) return Refuse(res, 400, "unknown fault: " + name);
        res.set_content("fault " + name + "\n", "text/plain");
    };
    server_.Post("/fault", setFault);
    server_.Get("/fault", setFault);
    if (verbose_)
        server_.set_logger([](const httplib::Request& req, const httplib::Response& res) {
            std::fprintf(stderr, "lw52-cloud-fixture: %s %s -> %d\n", req.method.c_str(),
                         req.path.c_str(), res.status);
        });
}
