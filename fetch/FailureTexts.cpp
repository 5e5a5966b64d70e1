#include "fetch/FailureTexts.h"

#include <cerrno>
#include <system_error>

#include "platform/Text.h"

std::string AnswerText(std::string_view rawHeaders, int statusCode)
{
    // "HTTP/1.1 404 Not Found": the text after the protocol, when it starts with the code.
    std::string_view line = rawHeaders.substr(0, rawHeaders.find("\r\n"));
    const auto blank = line.find(' ');
    const std::string code = std::to_string(statusCode);
    if (blank != std::string_view::npos) {
        line = platform::TrimWhiteSpace(line.substr(blank + 1));
        if (line.starts_with(code) && line.size() > code.size() + 1 && line[code.size()] == ' ')
            return std::string(line);
    }
    return code;
}

std::string SystemErrorText(int error)
{
    std::string text = std::error_code(error, std::generic_category()).message();
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

std::string NetworkFailureText(platform::HttpError kind, int systemError, std::string_view libraryText)
{
    using platform::HttpError;
    switch (kind) {
    case HttpError::Resolve:
        return "host not found";
    case HttpError::Connect:
        return systemError != 0 ? SystemErrorText(systemError) : "no connection";
    case HttpError::Timeout:
        return "timed out";
    case HttpError::Reset:
        return systemError == ECONNRESET ? "connection reset" : "connection lost";
    case HttpError::Scheme:
        return "a redirect to an address that is not http or https";
    case HttpError::Aborted:
        return "stopped";
    case HttpError::None:
    case HttpError::Protocol:
    case HttpError::Other:
        break;
    }
    return libraryText.empty() ? std::string("no answer") : std::string(libraryText);
}

std::string FileFailureText(int error)
{
    if (error == ENOSPC)
        return "disk full";
    if (error == EDQUOT)
        return "disk quota exceeded";
    return SystemErrorText(error);
}

std::string RequestFailureText(int request, std::string_view reason)
{
    return "request " + std::to_string(request) + ": " + std::string(reason);
}
