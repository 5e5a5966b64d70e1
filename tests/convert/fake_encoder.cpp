// Stands in for the encoder in tests. It first writes "<target>.run": its pid, its
// arguments, where its standard input comes from, its open descriptors and its signal
// state. Then it acts after a word in the target's file name (the last argument):
//   sleep   -- sleeps for a minute, until it is killed
//   slow    -- takes 300 ms, then succeeds
//   fail    -- exits with status 3
//   exit127 -- exits with status 127
//   signal  -- ends itself with SIGTERM
//   anything else succeeds at once, writing "converted" into the target.
// It refuses a command line that does not begin with the fixed word "converter.exe".

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

namespace {

std::string Describe(int argc, char** argv) {
    std::ostringstream out;
    out << "pid " << getpid() << '\n';
    for (int i = 0; i < argc; ++i)
        out << "arg " << argv[i] << '\n';
    char link[512];
    const ssize_t n = readlink("/proc/self/fd/0", link, sizeof link - 1);
    out << "stdin " << (n > 0 ? std::string(link, static_cast<std::size_t>(n)) : "-") << '\n';
    if (DIR* dir = opendir("/proc/self/fd")) {
        const int own = dirfd(dir);
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own)
                continue;
            out << "fd " << entry->d_name << '\n';
        }
        closedir(dir);
    }
    struct sigaction pipe {};
    sigaction(SIGPIPE, nullptr, &pipe);
    out << "sigpipe " << (pipe.sa_handler == SIG_DFL ? "default" : "changed") << '\n';
    sigset_t blocked;
    sigprocmask(SIG_BLOCK, nullptr, &blocked);
    out << "sigterm " << (sigismember(&blocked, SIGTERM) ? "blocked" : "open") << '\n';
    return out.str();
}

bool Has(const std::string& name, const char* word) {
    return name.find(word) != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || std::string(argv[1]) != "converter.exe") {
        std::fprintf(stderr, "usage: fake_encoder converter.exe [options] target\n");
        return 2;
    }
    const std::string target = argv[argc - 1];
    const std::string description = Describe(argc, argv);
    {
        // Written whole, then renamed, so a reader never sees half of it.
        std::ofstream(target + ".run.tmp") << description;
        std::rename((target + ".run.tmp").c_str(), (target + ".run").c_str());
    }
    const std::string name = target.substr(target.rfind('/') + 1);
    if (Has(name, "sleep")) {
        std::this_thread::sleep_for(std::chrono::minutes(1));
        return 0;
    }
    if (Has(name, "fail"))
        return 3;
    if (Has(name, "exit127"))
        return 127;
    if (Has(name, "signal")) {
        raise(SIGTERM);
        return 0;
    }
    if (Has(name, "slow"))
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::ofstream(target) << "converted\n";
    return 0;
}
