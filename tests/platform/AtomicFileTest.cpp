#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#include <filesystem>
#include <set>

#include "support/Files.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using platform::WriteFileAtomically;

std::size_t EntryCount(const fs::path& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(AtomicFile, CreatesAndReplacesKeepingPermissionsAndLinks)
{
    TempFolder folder;
    const std::string path = folder.Path("settings.ini");
    const mode_t oldMask = ::umask(022);
    ASSERT_TRUE(WriteFileAtomically(path, std::string("first\0binary", 12)));
    ::umask(oldMask);
    EXPECT_EQ(ReadText(path), std::string("first\0binary", 12));
    EXPECT_EQ(ModeOf(path), 0644u);

    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    fs::create_symlink(path, folder.Path("link.ini"));
    ASSERT_TRUE(WriteFileAtomically(folder.Path("link.ini"), "second"));
    EXPECT_TRUE(fs::is_symlink(folder.Path("link.ini")));
    EXPECT_EQ(ReadText(path), "second");
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_EQ(EntryCount(folder.Root()), 2u) << "no temporary file may be left behind";
}

TEST(AtomicFile, FailureLeavesTheOldFile)
{
    TempFolder folder;
    const std::string path = folder.Path("tasks.ini");
    WriteText(path, "old content");

    // A file size limit makes the write itself fail, also for root.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool written = WriteFileAtomically(path, std::string(64 * 1024, 'x'), &error);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(ReadText(path), "old content");
    EXPECT_EQ(EntryCount(folder.Root()), 1u) << "the temporary file must be removed";

    // The parent is a regular file: nothing can be created there.
    EXPECT_FALSE(WriteFileAtomically(path + "/inner.ini", "x"));
    // A folder in the file's place is not replaced.
    EXPECT_FALSE(WriteFileAtomically(folder.Root(), "x"));
    EXPECT_TRUE(fs::is_directory(folder.Root()));
    EXPECT_EQ(ReadText(path), "old content");
}

// A write killed before its rename leaves its temporary file; a later start removes those
// whose writer is gone, and only those. Pid 1 stands for a live process other than this
// one, 99999999 for one that is gone; a file older than its start was written by an
// earlier holder of its pid.
TEST(AtomicFile, RemovesOnlyTemporariesThatNoLiveWriterHolds)
{
    TempFolder folder;
    const std::string path = folder.Path("tasks.ini");
    WriteText(path, "the store");
    const auto temporary = [&](const std::string& pid, const std::string& text, bool old = false) {
        const std::string file = folder.Path(".tasks.ini.tmp" + pid + "-" + text);
        WriteText(file, text);
        if (old)
            fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 40));
        return file;
    };
    temporary("99999999", "0");                            // its writer has ended
    temporary(std::to_string(::getpid()), "1");            // this process may be writing it
    temporary("1", "2");                                   // its writer may not have locked it yet
    temporary("1", "3", true);                             // older than the process that has its pid now
    const std::string locked = temporary("1", "4", true);  // held by a writer at work
    const int held = ::open(locked.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    for (const char* other : {".tasks.ini.tmpx-1", ".tasks.ini.tmp12-", ".settings.ini.tmp99999999-1"})
        WriteText(folder.Path(other), "not ours");

    EXPECT_EQ(platform::RemoveAbandonedTemporaries(path), 2);
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder.Root()))
        left.insert(ReadText(entry.path()));
    EXPECT_EQ(left, (std::set<std::string>{"the store", "1", "2", "4", "not ours"}));
    ::close(held);
}

}  // namespace
