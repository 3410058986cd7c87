#pragma once

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "FixtureCatalog.h"

// The HTTP side of the fixture: the four API paths and the files under /tuning, and the
// control endpoint "POST /fault?name=NAME" (GET works too) that switches the active fault. One
// fault is active at a time; it stays until another one or "clear" replaces it.
class FixtureServer {
  public:
    enum class Fault {
        None,
        Status404,
        Status500,
        Slow,
        Oversize,
        BadJson,
        NotOk,
        Truncate,
        Flood,        // files: an endless body without a length (stops at 1 GiB or on hang-up)
        HugeLength,   // files: a length of 4 GiB announced, then the file's real bytes
        ClipFail,     // the clips of a sound category: status 500 (the category list works)
        NoPackage,    // upgrade answer: a package address where nothing is
        WrongAnswer,  // upgrade answer: "ok", but the version as text and no address
        ShortPackage  // files: the first half, announced as the whole (a cut-off package)
    };

    // slowMs: how long the "slow" fault holds a reply (past the clients' timeouts).
    FixtureServer(std::filesystem::path root, int slowMs, bool verbose);

    // Binds 127.0.0.1:port (0: a free port); returns the port or -1.
    int Bind(int port);
    // Serves until Stop(); false when serving failed.
    bool Serve();
    // From any thread: wakes held replies and ends Serve().
    void Stop();

    // "clear" and the fault names below; false for an unknown name.
    bool SetFault(const std::string& name);
    static const char* FaultNames();

  private:
    void Route();
    Fault ActiveFault() const;
    // Applies the HTTP-level faults; true when the reply is already made.
    bool ApplyCommonFault(Fault fault, httplib::Response& res);
    void HoldReply();
    void SendEnvelope(const Json::Value& data, httplib::Response& res);
    bool CheckForm(const httplib::Request& req, httplib::Response& res);
    void ServeFile(const httplib::Request& req, httplib::Response& res);

    httplib::Server server_;
    std::filesystem::path root_;
    std::unique_ptr<FixtureCatalog> catalog_;
    const int slowMs_;
    const bool verbose_;
    std::atomic<Fault> fault_{Fault::None};
    std::mutex holdMutex_;
    std::condition_variable holdWake_;
    bool stopping_ = false;
};
