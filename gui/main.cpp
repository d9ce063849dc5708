#include "gui/TessarinApp.h"
#include "platform/StartupPaths.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv)
{
    // Before anything reads them, and before the folder changes to the kit's.
    MakeEnvironmentPathsAbsolute();
    QApplication application(argc, argv);
    QApplication::setApplicationName("tessarin-gui");
    QApplication::setApplicationVersion(TESSARIN_VERSION_TEXT);

    QCommandLineParser parser;
    parser.setApplicationDescription("Tessarin: upgrades a radio through its interface box.");
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption kit("kit", "Read the kit (patcher.dat and its files) from DIR instead of the current directory.",
                           "DIR");
    parser.addOption(kit);
    parser.process(application);
    if (parser.isSet(kit)) {
        std::error_code error;
        std::filesystem::current_path(parser.value(kit).toStdString(), error);
        if (error) {
            std::fprintf(stderr, "tessarin-gui: cannot use the kit folder %s: %s\n",
                         parser.value(kit).toLocal8Bit().constData(), error.message().c_str());
            return 2;
        }
    }

    CTessarinApp app;
    if (!app.InitInstance())
        return 1;
    int status = application.exec();
    app.ExitInstance();
    return status;
}
