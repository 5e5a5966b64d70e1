#include "fetch/ServiceConfig.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "fetch/WatchUrl.h"
#include "support/Files.h"

namespace {

// Usable values in settings.ini point the run elsewhere, and the run's host decides
// which watch-page addresses are recognised.
TEST(ServiceConfig, SettingsPointTheRunElsewhere)
{
    for (const char bad : std::string(" \t\x7f/\\?#@", 8))
        EXPECT_FALSE(ServiceConfig::IsUsableHost(std::string("a") + bad + "b")) << int(bad);

    EXPECT_EQ(ServiceConfig::Load(TestData("no-such-settings.ini")), ServiceConfig{})
        << "no file keeps the defaults";
    const ServiceConfig local = ServiceConfig::Load(TestData("settings-local-service.ini"));
    EXPECT_EQ(local.serviceHost, "127.0.0.1:5000");
    EXPECT_EQ(local.cdnDomain, ".googlevideo.com") << "an unusable value keeps the default";

    const ServiceConfig before = ServiceConfig::Current();
    std::string id;
    EXPECT_TRUE(ParseWatchUrl("http://www.youtube.com/watch?v=one", id));
    ServiceConfig::Install(local);
    EXPECT_FALSE(ParseWatchUrl("http://www.youtube.com/watch?v=one", id));
    EXPECT_TRUE(ParseWatchUrl("http://127.0.0.1:5000/watch?v=two", id));
    EXPECT_EQ(id, "two");
    ServiceConfig::Install(before);
}

TEST(ServiceConfig, DataFolderFollowsXdgDataHome)
{
    const std::string home = getenv("HOME") ? getenv("HOME") : "";
    const bool hadDataHome = getenv("XDG_DATA_HOME") != nullptr;
    const std::string oldDataHome = hadDataHome ? getenv("XDG_DATA_HOME") : "";
    setenv("HOME", "/home/me/", 1);
    setenv("XDG_DATA_HOME", "/data/me/", 1);
    EXPECT_EQ(DataFolderPath(), "/data/me/Tavolin Data");
    setenv("XDG_DATA_HOME", "", 1);
    EXPECT_EQ(DataFolderPath(), "/home/me/.local/share/Tavolin Data");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(DataFolderPath(), "/home/me/.local/share/Tavolin Data");
    setenv("HOME", home.c_str(), 1);
    if (hadDataHome)
        setenv("XDG_DATA_HOME", oldDataHome.c_str(), 1);
}

}  // namespace
