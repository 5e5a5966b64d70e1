#include "fetch/FailureTexts.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>

namespace {

using platform::HttpError;

TEST(FailureTexts, WhatTheRowSaysOfEachFailure)
{
    const std::tuple<const char*, int, const char*> answers[] = {
        {"HTTP/1.1 404 Not Found\r\nA: b\r\n\r\n", 404, "404 Not Found"},
        {"HTTP/1.0 503  Service  Unavailable \r\n\r\n", 503, "503  Service  Unavailable"},
        {"HTTP/2 404\r\n\r\n", 404, "404"},  // no phrase in this protocol
        {"HTTP/1.1 200\r\n\r\n", 200, "200"},
        {"", 0, "0"},
    };
    for (const auto& [headers, code, text] : answers)
        EXPECT_EQ(AnswerText(headers, code), text) << headers;

    const std::tuple<HttpError, int, const char*, const char*> failures[] = {
        {HttpError::Connect, ECONNREFUSED, "Failed to connect", "connection refused"},
        {HttpError::Connect, 0, "Failed to connect", "no connection"},
        {HttpError::Resolve, 0, "Could not resolve host", "host not found"},
        {HttpError::Timeout, 0, "Operation too slow", "timed out"},
        {HttpError::Reset, ECONNRESET, "Recv failure", "connection reset"},
        {HttpError::Reset, 0, "transfer closed", "connection lost"},
        {HttpError::Scheme, 0, "Protocol \"file\" not supported",
         "a redirect to an address that is not http or https"},
        {HttpError::Protocol, 0, "Maximum (10) redirects followed", "Maximum (10) redirects followed"},
    };
    for (const auto& [kind, error, library, text] : failures)
        EXPECT_EQ(NetworkFailureText(kind, error, library), text) << library;

    EXPECT_EQ(FileFailureText(ENOSPC), "disk full");
    EXPECT_EQ(FileFailureText(EACCES), "permission denied");
    EXPECT_EQ(RequestFailureText(2, "timed out"), "request 2: timed out");
}

}  // namespace
