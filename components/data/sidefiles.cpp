#include "data/sidefiles.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>

namespace velmor::data {

namespace {

std::mutex& DefaultsMutex() {
    static std::mutex m;
    return m;
}

EngineDefaults& Defaults() {
    static EngineDefaults d;
    return d;
}

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

// A relative XDG variable is to be ignored, as if it were not set.
std::string XdgFolder(const char* variable, const char* fallbackBelowHome) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/') return WithSlash(value);
    std::string home = HomeFolder();
    return home.empty() ? std::string() : WithSlash(home) + fallbackBelowHome;
}

// FNV-1a: stable across runs and builds, which std::hash is not.
std::string PathHash(const std::string& path) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : path) {
        h ^= c;
        h *= 1099511628211ull;
    }
    static const char digits[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4) out[static_cast<size_t>(i)] = digits[h & 15];
    return out;
}

// Leaves room for the hash and extension within a file name's 255 bytes,
// cutting at a character boundary.
std::string ShortName(std::string name) {
    constexpr size_t kLongest = 200;
    if (name.size() <= kLongest) return name;
    size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
    return name;
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

const char* Extension(SideFileKind kind) {
    return kind == SideFileKind::Connection ? ".vdc" : ".vdi";
}

}  // namespace

void SetEngineDefaults(EngineDefaults defaults) {
    std::lock_guard lock(DefaultsMutex());
    Defaults() = std::move(defaults);
}

EngineDefaults GetEngineDefaults() {
    std::lock_guard lock(DefaultsMutex());
    return Defaults();
}

std::string UserConnectionFolder() {
    std::string base = XdgFolder("XDG_DATA_HOME", ".local/share/");
    return base.empty() ? base : base + "Velmor/Connections/";
}

std::string UserIndexFolder() {
    std::string base = XdgFolder("XDG_CACHE_HOME", ".cache/");
    return base.empty() ? base : base + "Velmor/";
}

std::string SideFilePath(const std::string& dataPath, SideFileKind kind,
                         const SideFileSettings& settings) {
    if (dataPath.empty()) return {};
    const std::filesystem::path data(dataPath);
    const std::string name = data.filename().string();
    const std::string beside = WithSlash(data.parent_path().string()) + name + Extension(kind);
    if (settings.storeInDataPath) return beside;
    std::string folder = IsFolder(settings.secondaryPath)   ? WithSlash(settings.secondaryPath)
                         : kind == SideFileKind::Connection ? UserConnectionFolder()
                                                            : UserIndexFolder();
    if (folder.empty()) return beside;
    return folder + ShortName(name) + "." + PathHash(dataPath) + Extension(kind);
}

std::string ConnectionFileFor(const std::string& dataPath, const SideFileSettings& settings) {
    std::string path = SideFilePath(dataPath, SideFileKind::Connection, settings);
    if (settings.storeInDataPath || IsFolder(settings.secondaryPath)) return path;
    const std::string beside = SideFilePath(dataPath, SideFileKind::Connection, {});
    std::error_code ec;
    return std::filesystem::is_regular_file(beside, ec) ? beside : path;
}

bool MakeFolderFor(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) return true;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return !ec;
}

}  // namespace velmor::data
