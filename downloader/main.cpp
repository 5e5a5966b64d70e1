#include <string>
#include <vector>

#include <QApplication>

#include "downloader/CMainApp.h"
#include "platform/CommandLine.h"

namespace {

constexpr const char* kUsage =
    "Usage: tavolin [OPTION]\n"
    "Downloads videos from a video service into a task list, several at a time, and hands\n"
    "each finished download to the ostrand encoder when its task names an output profile.\n"
    "\n"
    "Paste or drop a watch-page address, or copy one anywhere: Tavolin offers to add it.\n"
    "Closing the window hides it in the notification area; Exit ends the program. A\n"
    "second start shows the running window instead.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this help and exit\n"
    "      --version  print the version and exit\n"
    "\n"
    "Files:\n"
    "  $XDG_DATA_HOME/Tavolin Data (~/.local/share/Tavolin Data when XDG_DATA_HOME is unset)\n"
    "      the data folder, made by the installation: tasks.ini holds the task list,\n"
    "      settings.ini the settings (SERVICE_HOST and CDN_DOMAIN name the video service)\n"
    "  Tavolin Videos in the documents folder (XDG_DOCUMENTS_DIR, ~/Documents)\n"
    "      where downloads go until another folder is chosen in the Add Task dialog;\n"
    "      a conversion is written beside its download\n";

}  // namespace

int main(int argc, char** argv)
{
    // Answered before any window exists, so no display is needed.
    if (platform::AnswerInfoRequest(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc),
                                    "tavolin", kUsage))
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavolin"));
    QApplication::setApplicationVersion(QLatin1String(platform::ProductVersion()));
    return CMainApp::Run(app, CMainApp::Options{});
}
