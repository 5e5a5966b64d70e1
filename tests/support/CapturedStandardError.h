#pragma once
// Sends the process's standard error to a temporary file while it lives; Text() ends
// the capture and returns what was written.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>

class CapturedStandardError {
public:
    CapturedStandardError() : m_file(std::tmpfile()), m_saved(::dup(STDERR_FILENO))
    {
        std::fflush(stderr);
        ::dup2(::fileno(m_file), STDERR_FILENO);
    }
    ~CapturedStandardError()
    {
        Text();
        std::fclose(m_file);
    }

    std::string Text()
    {
        if (m_saved >= 0) {
            std::fflush(stderr);
            ::dup2(m_saved, STDERR_FILENO);
            ::close(std::exchange(m_saved, -1));
        }
        std::string text(static_cast<std::size_t>(std::ftell(m_file)), '\0');
        std::rewind(m_file);
        text.resize(std::fread(text.data(), 1, text.size(), m_file));
        return text;
    }

private:
    std::FILE* m_file;
    int m_saved;
};
