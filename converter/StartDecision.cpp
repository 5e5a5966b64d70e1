#include "converter/StartDecision.h"

#include "convert/VideoFileTypes.h"
#include "platform/Text.h"

StartDecision DecideStart(const StartRequest& request, const FileQueries& files)
{
    StartDecision decision;
    decision.destination = platform::TrimWhiteSpace(request.destination);
    if (!decision.destination.empty() && decision.destination.back() != '/')
        decision.destination += '/';
    if (decision.destination.empty() || decision.destination.front() != '/' ||
        !files.IsFolder(decision.destination)) {
        decision.refusal = StartRefusal::BadDestination;
        return decision;
    }
    decision.rememberFolder = true;

    decision.source = platform::TrimWhiteSpace(request.source);
    if (decision.source.empty())
        decision.refusal = StartRefusal::NoSource;
    else if (!HasVideoExtension(decision.source))
        decision.refusal = StartRefusal::NotVideo;
    else if (!files.Exists(decision.source))
        decision.refusal = StartRefusal::MissingSource;
    return decision;
}

std::string_view RefusalMessage(StartRefusal refusal)
{
    switch (refusal) {
    case StartRefusal::BadDestination:
        return "Invaild Destination Folder, please select a valid location to save file.";
    case StartRefusal::NoSource:
        return "Please load a flv file.";
    case StartRefusal::NotVideo:
        return "Please load a valid flv file !";
    case StartRefusal::MissingSource:
        return "Source file does not exists, please load a valid file";
    case StartRefusal::None:
        break;
    }
    return {};
}
