#pragma once
#include <string>

// What a conversion run shows. The window implements it; every call arrives on the
// window's own thread.
class RunView {
public:
    virtual ~RunView() = default;
    virtual void RunStarted(const std::string& target) = 0;
    virtual void RunStep(const std::string& target) = 0;  // once per poll of the encoder
    virtual void RunStopped() = 0;
    virtual void RunCompleted(const std::string& target) = 0;
    virtual void RunFailed(const std::string& target) = 0;

protected:
    RunView() = default;
    RunView(const RunView&) = default;
    RunView& operator=(const RunView&) = default;
};
