// A folder of its own for one test, removed with everything in it afterwards.
#pragma once
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/keystrand-test-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        m_path = made != nullptr ? made : "/tmp";
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder with a trailing separator, as the program directory is kept.
    std::string dir() const { return m_path + "/"; }
    std::string path(const std::string& name) const { return m_path + "/" + name; }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    void remove(const std::string& name) const { ::unlink(path(name).c_str()); }

private:
    std::string m_path;
};
