#include "converter/StartDecision.h"

#include <algorithm>
#include <cctype>

#include "platform/Text.h"

namespace {

bool EndsWithFlv(const std::string& path)
{
    static constexpr std::string_view kFlv = ".flv";
    if (path.size() < kFlv.size())
        return false;
    return std::equal(
        kFlv.begin(), kFlv.end(), path.end() - static_cast<std::ptrdiff_t>(kFlv.size()),
        [](char want, char got) { return want == std::tolower(static_cast<unsigned char>(got)); });
}

}  // namespace

StartDecision DecideStart(const StartRequest& request, const FileQueries& files)
{
    StartDecision decision;
    decision.m_csDestination = platform::TrimWhiteSpace(request.m_csDestination);
    if (!decision.m_csDestination.empty() && decision.m_csDestination.back() != '/')
        decision.m_csDestination += '/';
    if (decision.m_csDestination.empty() || decision.m_csDestination.front() != '/' ||
        !files.IsFolder(decision.m_csDestination)) {
        decision.m_refusal = StartRefusal::BadDestination;
        return decision;
    }
    decision.m_bRememberFolder = true;

    decision.m_csSource = platform::TrimWhiteSpace(request.m_csSource);
    if (decision.m_csSource.empty())
        decision.m_refusal = StartRefusal::NoSource;
    else if (!EndsWithFlv(decision.m_csSource))
        decision.m_refusal = StartRefusal::NotFlv;
    else if (!files.Exists(decision.m_csSource))
        decision.m_refusal = StartRefusal::MissingSource;
    return decision;
}

std::string_view RefusalMessage(StartRefusal refusal)
{
    switch (refusal) {
    case StartRefusal::BadDestination:
        return "Invaild Destination Folder, please select a valid location to save file.";
    case StartRefusal::NoSource:
        return "Please load a flv file.";
    case StartRefusal::NotFlv:
        return "Please load a valid flv file !";
    case StartRefusal::MissingSource:
        return "Source file does not exists, please load a valid file";
    case StartRefusal::None:
        break;
    }
    return {};
}
