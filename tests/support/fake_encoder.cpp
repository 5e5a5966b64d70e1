// Takes the encoder's place in every test. Started as the encoder is (the source after
// "-i", the target last), it first writes "<target>.run": its pid; its standard input,
// open descriptors, SIGPIPE handling and whether SIGTERM is blocked; then its arguments,
// one a line. Then it does what the first word of its source file says: "sleep" sleeps a
// minute, "slow <ms>" takes that long, "fail" exits with 3, "signal" ends itself with
// SIGTERM, "channel <ms>" writes the source's further lines at once to the descriptor
// after "-progress-fd", takes <ms>, and fails with 1 when one of them begins with "failed";
// anything else, a missing source included, succeeds at once. Success writes
// "converted" into the target.

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    if (argc < 5 || std::string(argv[2]) != "-i")
        return 2;
    const std::string target = argv[argc - 1];
    std::ostringstream out;
    char input[512] = {};
    out << getpid() << '\n' << (readlink("/proc/self/fd/0", input, sizeof input - 1) > 0 ? input : "-");
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != dirfd(dir))
                out << ' ' << entry->d_name;
        closedir(dir);
    }
    struct sigaction pipe {};
    sigaction(SIGPIPE, nullptr, &pipe);
    sigset_t blocked;
    sigprocmask(SIG_BLOCK, nullptr, &blocked);
    out << (pipe.sa_handler == SIG_DFL ? " default" : " changed")
        << (sigismember(&blocked, SIGTERM) ? " blocked" : " open");
    for (int i = 0; i < argc; ++i)
        out << '\n' << argv[i];
    std::ofstream(target + ".run.tmp") << out.str() << '\n';
    std::rename((target + ".run.tmp").c_str(), (target + ".run").c_str());  // never seen half written

    std::string word;
    long milliseconds = 0;
    std::ifstream source(argv[3]);
    source >> word >> milliseconds;
    bool failed = false;
    if (word == "channel") {
        int fd = -1;
        for (int i = 4; i + 1 < argc; ++i)
            if (std::string(argv[i]) == "-progress-fd")
                fd = std::atoi(argv[i + 1]);
        std::string line, lines;
        std::getline(source, line);
        while (std::getline(source, line)) {
            failed = failed || line.starts_with("failed");
            lines += line + '\n';
        }
        // In one write, so a reader gets them together.
        if (fd < 0 || write(fd, lines.data(), lines.size()) != static_cast<ssize_t>(lines.size()))
            return 4;
        word = "slow";
    }
    if (word == "fail")
        return 3;
    if (word == "signal")
        raise(SIGTERM);
    if (word == "sleep")
        milliseconds = 60000;
    else if (word != "slow")
        milliseconds = 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    if (failed)
        return 1;
    std::ofstream(target) << "converted\n";
    return 0;
}
