#pragma once
#include <string>

#include "convert/ConvertJob.h"

// What the Add Task dialog hands over when it ends with OK.
struct NewTask {
    std::string m_csUrl;       // as typed; trimmed by the scheduler
    std::string m_csFolder;    // ends with '/'
    std::string m_csFileName;  // final base name + the download's extension
    ConvertJob m_job;          // the twelve conversion texts; the identifier is set by the scheduler
};
