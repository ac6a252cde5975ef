#include "widgets/Platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QTranslator>
#include <QUrl>

#include "data/VardexError.h"

namespace {
Platform *installed = nullptr;

QWidget *dialogParent() { return QApplication::activeWindow(); }

void box(QMessageBox::Icon icon, const QString &caption, const QString &text)
{
    QMessageBox b(icon, caption, text, QMessageBox::Ok, dialogParent());
    b.setTextFormat(Qt::PlainText);   // messages carry names and texts from the database
    b.exec();
}
} // namespace

Platform &Platform::get()
{
    static DesktopPlatform desktop;
    return installed ? *installed : desktop;
}

void Platform::install(Platform *platform) { installed = platform; }

void DesktopPlatform::information(const QString &text) { box(QMessageBox::Information, QStringLiteral("Information"), text); }

void DesktopPlatform::error(const QString &text) { box(QMessageBox::Critical, QStringLiteral("Error"), text); }

bool DesktopPlatform::warningQuestion(const QString &text)
{
    QMessageBox b(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Yes | QMessageBox::Cancel,
                  dialogParent());
    b.setTextFormat(Qt::PlainText);
    return b.exec() == QMessageBox::Yes;
}

void DesktopPlatform::topLevelError(const QString &text)
{
    box(QMessageBox::Critical, QCoreApplication::applicationName(), text);
}

QStringList DesktopPlatform::openFiles(const QString &title, const QString &filter, bool multiple)
{
    if (multiple)
        return QFileDialog::getOpenFileNames(dialogParent(), title, QString(), filter);
    const QString one = QFileDialog::getOpenFileName(dialogParent(), title, QString(), filter);
    return one.isEmpty() ? QStringList() : QStringList{one};
}

int DesktopPlatform::execDialog(QDialog &dialog) { return dialog.exec(); }

void DesktopPlatform::openUrl(const QString &address)
{
    // Like the shell's "open" verb: nothing is checked and nothing is reported.
    const QUrl url(address, QUrl::TolerantMode);
    QDesktopServices::openUrl(url);
}

bool DesktopPlatform::startDetached(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

void installRussianTranslations()
{
    static QTranslator qtbase;
    if (qtbase.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtbase);
    else
        qWarning("Qt's Russian translations (qtbase_ru.qm) not found: Qt's own texts stay in English");
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));   // month and day names of the calendar
}

void runCommand(const std::function<void()> &command)
{
    try {
        command();
    } catch (const VardexError &e) {
        Platform::get().topLevelError(e.message());
    } catch (const std::exception &e) {
        Platform::get().topLevelError(QString::fromUtf8(e.what()));
    }
}
