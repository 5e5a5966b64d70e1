#pragma once
// Sends the process's standard error to a temporary file for as long as it lives, so a
// test can read what a program part printed there.
#include <unistd.h>

#include <cstdio>
#include <string>

class CapturedStandardError {
public:
    CapturedStandardError() : m_pFile(std::tmpfile())
    {
        std::fflush(stderr);
        m_nSaved = ::dup(STDERR_FILENO);
        if (m_pFile)
            ::dup2(::fileno(m_pFile), STDERR_FILENO);
    }
    ~CapturedStandardError()
    {
        Restore();
        if (m_pFile)
            std::fclose(m_pFile);
    }
    CapturedStandardError(const CapturedStandardError&) = delete;
    CapturedStandardError& operator=(const CapturedStandardError&) = delete;

    // Everything written so far; standard error goes back to where it went before.
    std::string Text()
    {
        Restore();
        std::string text;
        if (!m_pFile)
            return text;
        std::rewind(m_pFile);
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, m_pFile)) > 0;)
            text.append(buffer, n);
        return text;
    }

private:
    void Restore()
    {
        if (m_nSaved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_nSaved, STDERR_FILENO);
        ::close(m_nSaved);
        m_nSaved = -1;
    }

    std::FILE* m_pFile;
    int m_nSaved = -1;
};
