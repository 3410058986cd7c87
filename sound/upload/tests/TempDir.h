#pragma once

#include <dirent.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// A private temporary folder set as TMPDIR for the test's length, so the temporary files the
// upload makes can be counted.
class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/lw52-upload-test-XXXXXX";
        path = mkdtemp(pattern);
        const char* old = getenv("TMPDIR");
        if (old) m_old = old;
        m_hadOld = old != nullptr;
        setenv("TMPDIR", path.c_str(), 1);
    }
    ~TempDir() {
        for (const std::string& name : Names()) remove((path + "/" + name).c_str());
        rmdir(path.c_str());
        if (m_hadOld)
            setenv("TMPDIR", m_old.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        if (DIR* dir = opendir(path.c_str())) {
            while (dirent* e = readdir(dir))
                if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
                    names.push_back(e->d_name);
            closedir(dir);
        }
        return names;
    }
    std::string path;

  private:
    std::string m_old;
    bool m_hadOld = false;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}
