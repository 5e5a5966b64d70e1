#pragma once
#include <string>

// What a conversion run shows. The window implements it; every call arrives on the
// window's own thread.
class RunView {
public:
    virtual ~RunView() = default;
    virtual void RunStarted(const std::string& target) = 0;
    // Once per poll while the encoder does not know how far it has got.
    virtual void RunStep(const std::string& target) = 0;
    // How far it has got, once it knows, and again at every poll.
    virtual void RunProgress(const std::string& target, int percent) = 0;
    virtual void RunStopped() = 0;
    virtual void RunCompleted(const std::string& target) = 0;
    virtual void RunFailed(const std::string& target, const std::string& why) = 0;

protected:
    RunView() = default;
    RunView(const RunView&) = default;
    RunView& operator=(const RunView&) = default;
};
