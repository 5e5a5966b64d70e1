#pragma once
// Why a download failed, in the few words its row shows.

#include <string>
#include <string_view>

#include "platform/HttpSession.h"

// "404 Not Found" from the status line; the code alone when the line has no phrase.
std::string AnswerText(std::string_view rawHeaders, int statusCode);
// A request that failed on the network: "connection refused", "host not found", ...
std::string NetworkFailureText(platform::HttpError kind, int systemError, std::string_view libraryText);
// A file that could not be written: "disk full", or the system's own words.
std::string FileFailureText(int error);
// The system's words for an error number, starting in lower case.
std::string SystemErrorText(int error);
// The reason with the request it belongs to: "request 1: 404 Not Found".
std::string RequestFailureText(int request, std::string_view reason);
