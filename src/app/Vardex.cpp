// Program entry: the main window first, then the data module, then the event loop.
#include <QApplication>
#include <QTextStream>

#include "app/UnitMainER.h"
#include "app/Version.h"
#include "data/ADataER.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--version"))) {
        QTextStream(stdout) << fileVersionText() << Qt::endl;
        return 0;
    }
    TFormMainER mainWindow;
    TDataER dataModule;
    mainWindow.attachDataModule(&dataModule);
    mainWindow.showMaximized();
    return app.exec();
}
