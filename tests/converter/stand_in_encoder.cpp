// Takes the encoder's place in Pellux's tests. What it does is written in the source
// file it is given (its first word):
//   sleep       -- records its pid in "<target>.pid", then sleeps until it is killed
//   slow <ms>   -- takes that long, then succeeds
//   fail        -- exits with status 3, writing nothing
//   anything else succeeds at once.
// Success writes "converted" and then its arguments, one a line, into the target.
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    if (argc < 5 || std::string(argv[1]) != "converter.exe" || std::string(argv[2]) != "-i")
        return 2;
    const std::string source = argv[3];
    const std::string target = argv[argc - 1];

    std::string word;
    long long milliseconds = 0;
    std::ifstream(source) >> word >> milliseconds;
    if (word == "sleep") {
        std::ofstream(target + ".pid") << getpid() << '\n';
        std::this_thread::sleep_for(std::chrono::minutes(1));
        return 0;
    }
    if (word == "fail")
        return 3;
    if (word == "slow")
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));

    std::ofstream out(target, std::ios::trunc);
    out << "converted\n";
    for (int i = 0; i < argc; ++i)
        out << argv[i] << '\n';
    return out ? 0 : 4;
}
