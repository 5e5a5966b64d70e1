#include "scheduler/DownloadQueue.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

namespace {

// Steps: "aN" asks to start N (answers "N" when it may run, "(N)" when it waits), "lN"
// lets N leave, "t" takes the waiting ones that may run now (answers "[N M]").
std::string Play(int limit, const std::string& script)
{
    DownloadQueue queue(limit);
    std::istringstream steps(script);
    std::string out;
    for (std::string step; steps >> step;) {
        const std::int32_t id = step.size() > 1 ? std::stoi(step.substr(1)) : 0;
        if (step[0] == 'a') {
            out += queue.Admit(id) ? std::to_string(id) : "(" + std::to_string(id) + ")";
        } else if (step[0] == 'l') {
            queue.Leave(id);
            continue;
        } else {
            out += "[";
            for (const std::int32_t taken : queue.TakeStartable())
                out += std::to_string(taken) + " ";
            out += "]";
        }
        out += " ";
    }
    return out;
}

TEST(DownloadQueue, StartsUpToTheLimitAndTheRestInTheOrderAsked)
{
    const std::tuple<const char*, int, const char*, const char*> cases[] = {
        {"No limit: everything runs", 0, "a1 a2 a3 t", "1 2 3 [] "},
        {"Beyond the limit they wait, and run in order as places free", 2, "a1 a2 a3 a4 t l1 t l2 l3 t",
         "1 2 (3) (4) [] [3 ] [4 ] "},
        {"Asking again changes nothing, neither for one running nor one waiting", 1, "a1 a2 a1 a2 l1 t",
         "1 (2) 1 (2) [2 ] "},
        {"None overtakes those waiting, though a place is free", 1, "a1 a2 l1 a3 t", "1 (2) (3) [2 ] "},
        {"Leaving twice, or unknown, frees nothing more", 1, "a1 a2 a3 l1 l1 l9 t", "1 (2) (3) [2 ] "},
    };
    for (const auto& [question, limit, script, outcome] : cases)
        EXPECT_EQ(Play(limit, script), outcome) << question;
}

}  // namespace
