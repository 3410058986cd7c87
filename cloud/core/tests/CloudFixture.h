#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "LibCurlHelper.h"

// The local stand-in for the cloud service, started as a child process on a free port.
class CloudFixture {
  public:
    static std::string Program() {
#ifdef LW52_CLOUD_FIXTURE_PATH
        return LW52_CLOUD_FIXTURE_PATH;
#else
        return {};
#endif
    }
    static bool Available() {
        const std::string program = Program();
        return !program.empty() && access(program.c_str(), X_OK) == 0;
    }

    ~CloudFixture() {
        m_process.Stop();
    }

    // Starts the server on the fixture folder root (empty: the shipped one; extra: e.g.
    // {"--fault", NAME}) and points the program's service address at it. False when it does
    // not come up.
    bool Start(const std::string& root, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = extra;
        if (!root.empty()) args.insert(args.begin(), {"--root", root});
        return StartWith(args);
    }

  private:
    // Starts the server (extra: e.g. {"--fault", NAME}) and points the program's service
    // address at it. False when it does not come up.
    bool StartWith(const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"--port", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        if (!m_process.Start(Program(), args)) return false;
        const std::string line = m_process.WaitForLine("listening on ", 10000);
        const size_t at = line.find("http://");
        if (at == std::string::npos) return false;
        m_baseUrl = line.substr(at);
        while (!m_baseUrl.empty() && (m_baseUrl.back() == '\r' || m_baseUrl.back() == ' '))
            m_baseUrl.pop_back();
        setenv("LW52_CLOUD_URL", m_baseUrl.c_str(), 1);
        return true;
    }

  public:
    // Switches the server's fault ("clear", "status404", "badjson", "oversize", ...).
    bool SetFault(const std::string& name) {
        const std::string root = m_baseUrl.substr(0, m_baseUrl.rfind("/tuning"));
        const std::string body = "name=" + name;
        char reply[256] = {};
        return CLibCurlHelper::HttpPost(root + "/fault", body.c_str(), reply, sizeof reply) > 0;
    }

    // ".../tuning"
    const std::string& BaseUrl() const {
        return m_baseUrl;
    }

  private:
    ChildProcess m_process;
    std::string m_baseUrl;
};

#define LW52_REQUIRE_CLOUD_FIXTURE()                                                              \
    do {                                                                                          \
        if (!CloudFixture::Available())                                                           \
            GTEST_SKIP() << "the cloud fixture server is not built: " << CloudFixture::Program(); \
    } while (0)
