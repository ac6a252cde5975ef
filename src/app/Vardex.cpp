// Program entry: the main window first, then the data module, then the event loop.
#include <QApplication>
#include <QScreen>
#include <QTextStream>

#include "widgets/Platform.h"
#include "app/UnitMainER.h"
#include "app/Version.h"
#include "data/ADataER.h"
#include "data/FileServer.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vardex"));
    installRussianTranslations();
    // downloads still running at exit stop and leave no partial files
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &DownloadEngine::cancelAll);
    if (app.arguments().contains(QStringLiteral("--version"))) {
        QTextStream(stdout) << fileVersionText() << Qt::endl;
        return 0;
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
