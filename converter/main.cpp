// Pellux: converts one FLV file with the encoder that lies beside it.
#include <string>
#include <vector>

#include <QApplication>

#include "converter/CConverterDlg.h"
#include "platform/ProgramFolder.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);  // takes Qt's own options out of argv
    QApplication::setApplicationName(QStringLiteral("Pellux"));

    ConverterOptions options;
    // Found beside the program, whatever directory it was started from.
    options.m_csEncoderPath = platform::ProgramFolder() + "/ostrand";

    CConverterDlg window(options);
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (!window.Initialise(arguments))
        return 1;
    window.exec();
    return 0;
}
