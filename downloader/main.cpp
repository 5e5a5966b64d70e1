#include <QApplication>

#include "downloader/CMainApp.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavolin"));
    QApplication::setApplicationVersion(QStringLiteral("1.7.1"));
    return CMainApp::Run(app, CMainApp::Options{});
}
