#pragma once
// Points XDG_DATA_HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR at empty folders of
// a new temporary home for the lifetime of the object, and puts everything back.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace quillon::test {

class FreshHome {
public:
    FreshHome() {
        char tmpl[] = "/tmp/quillon-test-XXXXXX";
        root_ = ::mkdtemp(tmpl);
        Save("XDG_DATA_HOME", data_);
        Save("XDG_CONFIG_HOME", config_);
        Save("XDG_RUNTIME_DIR", runtime_);
        std::filesystem::create_directories(root_ + "/data");
        std::filesystem::create_directories(root_ + "/config");
        std::filesystem::create_directories(root_ + "/run");
        ::chmod((root_ + "/run").c_str(), 0700);
        ::setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (root_ + "/run").c_str(), 1);
        cwd_ = std::filesystem::current_path().string();
    }
    ~FreshHome() {
        std::error_code ec;
        std::filesystem::current_path(cwd_, ec);
        Restore("XDG_DATA_HOME", data_);
        Restore("XDG_CONFIG_HOME", config_);
        Restore("XDG_RUNTIME_DIR", runtime_);
        std::filesystem::remove_all(root_, ec);
    }
    FreshHome(const FreshHome&) = delete;
    FreshHome& operator=(const FreshHome&) = delete;

    const std::string& root() const { return root_; }
    std::string data() const { return root_ + "/data"; }
    std::string config() const { return root_ + "/config"; }
    std::string logFolder() const { return root_ + "/data/Quillon7"; }
    std::string iniPath() const { return root_ + "/config/Ardenfield/Quillon7.ini"; }

private:
    struct Saved {
        bool had = false;
        std::string value;
    };
    static void Save(const char* name, Saved& s) {
        const char* v = std::getenv(name);
        s.had = v != nullptr;
        if (v) s.value = v;
    }
    static void Restore(const char* name, const Saved& s) {
        if (s.had) ::setenv(name, s.value.c_str(), 1);
        else ::unsetenv(name);
    }
    std::string root_;
    std::string cwd_;
    Saved data_, config_, runtime_;
};

}  // namespace quillon::test
