#pragma once
// Sends the process's standard error to a temporary file while it lives; Text() ends
// the capture and returns what was written.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>

class CapturedStandardError {
public:
    CapturedStandardError() : m_pFile(std::tmpfile()), m_nSaved(::dup(STDERR_FILENO))
    {
        std::fflush(stderr);
        ::dup2(::fileno(m_pFile), STDERR_FILENO);
    }
    ~CapturedStandardError()
    {
        Text();
        std::fclose(m_pFile);
    }

    std::string Text()
    {
        if (m_nSaved >= 0) {
            std::fflush(stderr);
            ::dup2(m_nSaved, STDERR_FILENO);
            ::close(std::exchange(m_nSaved, -1));
        }
        std::string text(static_cast<std::size_t>(std::ftell(m_pFile)), '\0');
        std::rewind(m_pFile);
        text.resize(std::fread(text.data(), 1, text.size(), m_pFile));
        return text;
    }

private:
    std::FILE* m_pFile;
    int m_nSaved;
};
