#pragma once
#include <string>

// How a download worker tells the user that it cannot create its output file. The
// message belongs to the UI thread; the call returns only once the user has
// dismissed it, so the worker's failure report follows the user's acknowledgement.
class FileErrorPrompt {
public:
    virtual ~FileErrorPrompt() = default;
    virtual void ShowFileError(const std::string& message) = 0;
};
