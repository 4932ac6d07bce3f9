// Linked into every test program (velmor_add_test): before main runs, HOME,
// the XDG folders, VELMOR_REGISTRY and VELMOR_CONFIG point into a fresh
// folder of this run, removed at exit. A test program started by hand, by
// ctest or as "nobody" therefore never reads or writes the user's settings,
// profiles, connection files or desktop registration.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace {

class TestSandbox {
public:
    TestSandbox() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp == '/' ? tmp : "/tmp") +
                              "/velmor-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();  // never fall back to $HOME
        root_ = pattern;
        const std::pair<const char*, const char*> places[] = {
            {"HOME", "/home"},
            {"XDG_CONFIG_HOME", "/home/.config"},
            {"XDG_DATA_HOME", "/home/.local/share"},
            {"XDG_STATE_HOME", "/home/.local/state"},
            {"XDG_CACHE_HOME", "/home/.cache"},
            {"VELMOR_CONFIG", "/home/.config/Velmor"},
            {"VELMOR_REGISTRY", "/home/.config/Velmor/Velmor_Dravik.ini"},
        };
        std::error_code ec;
        std::filesystem::create_directories(root_ + "/home/.config", ec);
        for (const auto& [name, place] : places) ::setenv(name, (root_ + place).c_str(), 1);
        // Windows stay off screen unless the developer asks for a platform.
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    ~TestSandbox() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    TestSandbox(const TestSandbox&) = delete;
    TestSandbox& operator=(const TestSandbox&) = delete;

private:
    std::string root_;
};

const TestSandbox sandbox;

}  // namespace
