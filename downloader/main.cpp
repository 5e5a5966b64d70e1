#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>

#include "desktop/DisplayPlatform.h"
#include "downloader/CMainApp.h"
#include "platform/CommandLine.h"
#include "platform/Scheduling.h"

namespace {

constexpr const char* kUsage =
    "Usage: tavolin [OPTION]... [URL]...\n"
    "Downloads videos from a video service into a task list, several at a time, and hands\n"
    "each finished download to the ostrand encoder when its task names an output profile.\n"
    "\n"
    "Paste or drop a watch-page address or a video file's address, or copy one anywhere:\n"
    "Tavolin offers to add it.\n"
    "Closing the window hides it in the notification area; Exit ends the program. A\n"
    "second start shows the running window instead.\n"
    "\n"
    "Each URL, a watch-page address or the address of a video file, is offered in the\n"
    "Add Task dialog of the running Tavolin (started when none runs), one after another.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this help and exit\n"
    "      --version  print the version and exit\n"
    "\n"
    "Files:\n"
    "  $XDG_DATA_HOME/Tavolin Data (~/.local/share/Tavolin Data when XDG_DATA_HOME is unset)\n"
    "      the data folder, made by the installation: tasks.ini holds the task list,\n"
    "      settings.ini the settings (SERVICE_HOST and CDN_DOMAIN name the video service;\n"
    "      WATCH_CLIPBOARD and NOTIFICATIONS, 1 or 0, keep the tray menu's switches)\n"
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

    platform::SeparateThreadHeaps();
    std::vector<char*> qtArguments =
        ApplicationArguments(argc, argv, ChooseDisplayPlatform(CurrentDisplayEnvironment()));
    int qtCount = static_cast<int>(qtArguments.size()) - 1;
    QApplication app(qtCount, qtArguments.data());
    QApplication::setApplicationName(QStringLiteral("Tavolin"));
    QApplication::setApplicationVersion(QLatin1String(platform::ProductVersion()));

    // Read after the toolkit took its own options out of its arguments.
    const platform::Operands operands = platform::SplitOperands(
        std::vector<std::string>(qtArguments.begin() + (qtCount > 0 ? 1 : 0), qtArguments.begin() + qtCount));
    if (!operands.unknownOption.empty()) {
        std::fprintf(stderr, "tavolin: unknown option '%s'\nTry 'tavolin --help'.\n",
                     operands.unknownOption.c_str());
        return 2;
    }
    CMainApp::Options options;
    for (const std::string& address : operands.operands)
        options.addresses << QString::fromLocal8Bit(address);
    return CMainApp::Run(app, options);
}
