// Pellux: converts one video file with the encoder that lies beside it.
#include <string>
#include <vector>

#include <QApplication>

#include "converter/CConverterDlg.h"
#include "desktop/DisplayPlatform.h"
#include "platform/CommandLine.h"
#include "platform/ProgramFolder.h"

namespace {

constexpr const char* kUsage =
    "Usage: pellux [-source FILE]\n"
    "Converts one video file (FLV, MP4, WebM, MKV, AVI, MOV and the like) into a file for\n"
    "a portable player or another format (iPod, PSP, MP4, WMV, AVI, 3GP), with the same\n"
    "profiles as Tavolin and the ostrand encoder that lies beside it. Tavolin's Converter\n"
    "button starts it for the selected task.\n"
    "\n"
    "Options:\n"
    "  -source FILE   start with FILE as the file to convert\n"
    "  -h, --help     print this help and exit\n"
    "      --version  print the version and exit\n"
    "\n"
    "Files:\n"
    "  $XDG_DATA_HOME/Tavolin Data (~/.local/share/Tavolin Data when XDG_DATA_HOME is unset)\n"
    "      Tavolin's data folder, which must exist; settings.ini there keeps the last\n"
    "      destination folder (LAST_CONV_FOLDER)\n"
    "  ~/Pellux Output Videos\n"
    "      the destination folder until another is chosen\n";

}  // namespace

int main(int argc, char** argv)
{
    // Answered before any window exists, so no display is needed.
    if (platform::AnswerInfoRequest(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc),
                                    "pellux", kUsage))
        return 0;

    std::vector<char*> qtArguments =
        ApplicationArguments(argc, argv, ChooseDisplayPlatform(CurrentDisplayEnvironment()));
    int qtCount = static_cast<int>(qtArguments.size()) - 1;
    QApplication app(qtCount, qtArguments.data());  // takes Qt's own options out of them
    QApplication::setApplicationName(QStringLiteral("Pellux"));
    // The taskbar groups the window under the desktop entry's name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("pellux"));
    QApplication::setApplicationVersion(QLatin1String(platform::ProductVersion()));

    ConverterOptions options;
    // Found beside the program, whatever directory it was started from.
    options.encoderPath = platform::ProgramFolder() + "/ostrand";

    CConverterDlg window(options);
    const std::vector<std::string> arguments(qtArguments.begin() + (qtCount > 0 ? 1 : 0),
                                             qtArguments.begin() + qtCount);
    if (!window.Initialise(arguments))
        return 1;
    window.exec();
    return 0;
}
