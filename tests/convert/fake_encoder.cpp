// Stands in for the encoder in tests. It first writes "<target>.run" (the target being its
// last argument): its pid; its standard input, open descriptors, SIGPIPE handling and
// whether SIGTERM is blocked; then its arguments, one a line. Then it acts on a word in
// the target's file name: "sleep" sleeps a minute, "fail" exits 3, "signal" ends itself
// with SIGTERM; anything else writes "converted" into the target, after 300 ms for "slow".
// The scheduler tests use it too.

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv)
{
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

    const std::string name = target.substr(target.rfind('/') + 1);
    if (name.find("slow") != std::string::npos)
        usleep(300000);
    if (name.find("sleep") != std::string::npos)
        sleep(60);
    else if (name.find("fail") != std::string::npos)
        return 3;
    else if (name.find("signal") != std::string::npos)
        raise(SIGTERM);
    else
        std::ofstream(target) << "converted\n";
    return 0;
}
