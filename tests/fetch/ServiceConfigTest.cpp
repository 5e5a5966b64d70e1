#include "fetch/ServiceConfig.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>

namespace {

namespace fs = std::filesystem;

TEST(ServiceConfig, ReadsOptionalKeysFromSettings)
{
    std::string pattern = (fs::temp_directory_path() / "tavolin-config-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    const std::string path = (dir / "settings.ini").string();

    struct Case {
        const char* file;  // null: no file at all
        const char* host;
        const char* cdn;
    };
    const Case cases[] = {
        {nullptr, "www.youtube.com", ".googlevideo.com"},
        {"[TASKSINFO]\r\nLAST_FOLDER=/home/me/\r\n", "www.youtube.com", ".googlevideo.com"},
        {"[TASKSINFO]\r\nSERVICE_HOST=127.0.0.1:8080\r\nCDN_DOMAIN=127.0.0.1\r\n", "127.0.0.1:8080",
         "127.0.0.1"},
        {"[tasksinfo]\r\nservice_host =  video.example  \r\n", "video.example", ".googlevideo.com"},
        {"[TASKSINFO]\r\nSERVICE_HOST=\r\nCDN_DOMAIN=a b\r\n", "www.youtube.com", ".googlevideo.com"},
        {"[TASKSINFO]\r\nSERVICE_HOST=evil/path\r\nCDN_DOMAIN=x?y\r\n", "www.youtube.com",
         ".googlevideo.com"},
        {"[OTHER]\r\nSERVICE_HOST=video.example\r\n", "www.youtube.com", ".googlevideo.com"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "(no file)");
        fs::remove(path);
        if (c.file) std::ofstream(path, std::ios::binary) << c.file;
        const ServiceConfig config = ServiceConfig::Load(path);
        EXPECT_EQ(config.m_csServiceHost, c.host);
        EXPECT_EQ(config.m_csCdnDomain, c.cdn);
    }
    fs::remove_all(dir);
}

// Sets or clears an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = getenv(name)) m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(ServiceConfig, DataFolderFollowsXdgDataHome)
{
    struct Case {
        const char* dataHome;
        const char* home;
        const char* folder;
    };
    const Case cases[] = {
        {"/data/me", "/home/me", "/data/me/Tavolin Data"},
        {"/data/me/", "/home/me", "/data/me/Tavolin Data"},
        {"", "/home/me", "/home/me/.local/share/Tavolin Data"},
        {nullptr, "/home/me", "/home/me/.local/share/Tavolin Data"},
        {nullptr, "/home/me/", "/home/me/.local/share/Tavolin Data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.dataHome ? c.dataHome : "(unset)") << " " << c.home);
        ScopedEnv dataHome("XDG_DATA_HOME", c.dataHome);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(DataFolderPath(), c.folder);
    }
}

}  // namespace
