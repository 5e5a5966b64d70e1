#pragma once
#include <QString>

#include "TestRegistry.h"
#include "fetch/ServiceConfig.h"
#include "fetch/WatchUrl.h"
#include "support/BoxRecorder.h"

// A watch-page address of the run's service host.
inline QString WatchUrl(QAnyStringView id)
{
    return QString::fromStdString(WatchUrlPrefix(ServiceConfig::Current().serviceHost)) + id.toString();
}
