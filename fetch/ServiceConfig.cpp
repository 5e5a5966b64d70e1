#include "fetch/ServiceConfig.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "platform/PrivateProfile.h"

namespace {

std::mutex g_currentMutex;
ServiceConfig g_current;

std::string ReadSetting(const std::string& path, std::string_view key, std::string_view def)
{
    std::string value = platform::GetPrivateProfileString("TASKSINFO", key, def, 32768, path);
    return ServiceConfig::IsUsableHost(value) ? value : std::string(def);
}

}  // namespace

bool ServiceConfig::IsUsableHost(std::string_view host)
{
    if (host.empty())
        return false;
    for (const char c : host) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F || c == '/' || c == '\\' || c == '?' || c == '#' || c == '@')
            return false;
    }
    return true;
}

ServiceConfig ServiceConfig::Load(const std::string& settingsPath)
{
    ServiceConfig config;
    config.serviceHost = ReadSetting(settingsPath, "SERVICE_HOST", kDefaultServiceHost);
    config.cdnDomain = ReadSetting(settingsPath, "CDN_DOMAIN", kDefaultCdnDomain);
    return config;
}

ServiceConfig ServiceConfig::Current()
{
    std::lock_guard<std::mutex> lock(g_currentMutex);
    return g_current;
}

void ServiceConfig::Install(const ServiceConfig& config)
{
    std::lock_guard<std::mutex> lock(g_currentMutex);
    g_current = config;
}

std::string DataFolderPath()
{
    const auto withoutTrailingSlash = [](std::string path) {
        while (!path.empty() && path.back() == '/')
            path.pop_back();
        return path;
    };
    if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome && *dataHome)
        return withoutTrailingSlash(dataHome) + "/Tavolin Data";

    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env) {
        home = env;
    } else if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) {
        home = entry->pw_dir;
    }
    if (home.empty())
        return {};
    return withoutTrailingSlash(home) + "/.local/share/Tavolin Data";
}
