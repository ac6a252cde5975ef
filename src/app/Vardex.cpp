// Program entry: the main window first, then the data module, then the event loop.
#include <QApplication>
#include <QScreen>
#include <QTextStream>

#include "widgets/Platform.h"
#include "app/UnitMainER.h"
#include "app/Version.h"
#include "data/ADataER.h"
#include "data/Config.h"
#include "data/DownloadEngine.h"
#include "data/VardexError.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setApplicationIdentity();
    installRussianTranslations();
    // downloads still running at exit stop and leave no partial files
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &DownloadEngine::cancelAll);
    if (app.arguments().contains(QStringLiteral("--version"))) {
        QTextStream(stdout) << fileVersionText() << Qt::endl;
        return 0;
    }
    // A bad value in the settings file or the environment stops here, saying which and where.
    try {
        Config::get();
    } catch (const VardexError &e) {
        QTextStream(stderr) << e.message() << Qt::endl;
        Platform::get().topLevelError(e.message());
        return 1;
    }
    for (const QString &warning : Config::get().warnings) {
        QTextStream(stderr) << warning << Qt::endl;
        Platform::get().information(warning);
    }
    TFormMainER mainWindow;
    TDataER dataModule;
    if (dataModule.creationError())
        runCommand([&] { std::rethrow_exception(dataModule.creationError()); });
    mainWindow.attachDataModule(&dataModule);
    // Without a window manager (a virtual display) maximising does nothing: fill the screen first.
    mainWindow.setGeometry(QApplication::primaryScreen()->availableGeometry());
    mainWindow.showMaximized();
    return app.exec();
}
