#include "widgets/Platform.h"

#include <QApplication>
#include <QFileInfo>
#include <QSettings>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

#include "data/EventLog.h"
#include "data/VardexError.h"
#include "widgets/ChildWindow.h"

namespace {
Platform *installed = nullptr;

QWidget *dialogParent() { return QApplication::activeWindow(); }

void box(QMessageBox::Icon icon, const QString &caption, const QString &text, const QString &detail = {})
{
    QMessageBox b(icon, caption, text, QMessageBox::Ok, dialogParent());
    b.setTextFormat(Qt::PlainText);   // messages carry names and texts from the database
    if (!detail.isEmpty())
        b.setDetailedText(detail);
    b.exec();
}

QString g_command;   // the command running now, for the log

// The command a message belongs to: the one running, else the window the user is in.
QString currentCommand()
{
    if (!g_command.isEmpty())
        return g_command;
    const QWidget *w = QApplication::focusWidget();
    while (w && !w->inherits("TChildForm") && !w->isWindow())
        w = w->parentWidget();
    return w ? w->windowTitle() : QString();
}
} // namespace

void Platform::information(const QString &text, const QString &detail)
{
    if (!detail.isEmpty())
        EventLog::write(currentCommand(), text + QStringLiteral(": ") + detail);
    showInformation(text, detail);
}

void Platform::error(const QString &text, const QString &detail)
{
    EventLog::write(currentCommand(), detail.isEmpty() ? text : text + QStringLiteral(": ") + detail);
    showError(text, detail);
}

void Platform::errorAboutTyped(const QString &text, const QString &typed)
{
    QString logged = text;
    if (!typed.isEmpty())
        logged.replace(typed, QStringLiteral("[введено]"));
    EventLog::write(currentCommand(), logged);
    showError(text, QString());
}

void Platform::topLevelError(const QString &text)
{
    EventLog::write(currentCommand(), text);
    showTopLevelError(text);
}

Platform &Platform::get()
{
    static DesktopPlatform desktop;
    return installed ? *installed : desktop;
}

void Platform::install(Platform *platform) { installed = platform; }

void DesktopPlatform::showInformation(const QString &text, const QString &detail)
{
    box(QMessageBox::Information, caption(QMessageBox::Information), text, detail);
}

void DesktopPlatform::showError(const QString &text, const QString &detail)
{
    box(QMessageBox::Critical, caption(QMessageBox::Critical), text, detail);
}

bool DesktopPlatform::warningQuestion(const QString &text)
{
    QMessageBox b(QMessageBox::Warning, caption(QMessageBox::Warning), text, QMessageBox::Yes | QMessageBox::Cancel,
                  dialogParent());
    b.setTextFormat(Qt::PlainText);
    return b.exec() == QMessageBox::Yes;
}

QString DesktopPlatform::caption(QMessageBox::Icon icon)
{
    // the buttons speak Russian exactly when Qt's translation answers for them
    const bool russian = QCoreApplication::translate("QPlatformTheme", "Cancel") != QLatin1String("Cancel");
    switch (icon) {
    case QMessageBox::Critical: return russian ? QStringLiteral("Ошибка") : QStringLiteral("Error");
    case QMessageBox::Warning: return russian ? QStringLiteral("Предупреждение") : QStringLiteral("Warning");
    default: return russian ? QStringLiteral("Информация") : QStringLiteral("Information");
    }
}

void DesktopPlatform::showTopLevelError(const QString &text)
{
    box(QMessageBox::Critical, QCoreApplication::applicationName(), text);
}

QStringList DesktopPlatform::chooseFiles(const QString &title, const QString &filter, bool multiple, const QString &folder)
{
    if (multiple)
        return QFileDialog::getOpenFileNames(dialogParent(), title, folder, filter);
    const QString one = QFileDialog::getOpenFileName(dialogParent(), title, folder, filter);
    return one.isEmpty() ? QStringList() : QStringList{one};
}

QStringList Platform::openFiles(const QString &title, const QString &filter, bool multiple)
{
    QSettings settings;
    const QString key = QStringLiteral("dialogs/lastFolder");
    const QStringList files = chooseFiles(title, filter, multiple, settings.value(key).toString());
    if (!files.isEmpty())
        settings.setValue(key, QFileInfo(files.first()).absolutePath());
    return files;
}

int DesktopPlatform::execDialog(QDialog &dialog) { return dialog.exec(); }

bool DesktopPlatform::launchUrl(const QString &address)
{
    return QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

void Platform::openUrl(const QString &address)
{
    if (!launchUrl(address))
        error(QStringLiteral("Не удалось открыть документ: на компьютере не найдена программа, которая его открывает. "
                             "Откройте этот адрес в браузере:\n") + address);
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

void runCommand(const QString &name, const std::function<void()> &command)
{
    const QString outer = g_command;
    g_command = name;
    runCommand(command);
    g_command = outer;
}

namespace {
std::function<void()> g_networkOffer;
bool g_offerPending = false;
} // namespace

void setNetworkOffer(const std::function<void()> &offer)
{
    g_networkOffer = offer;
}

void offerOtherNetwork()
{
    if (!g_networkOffer || g_offerPending)
        return;
    g_offerPending = true;
    // queued: the window whose command met the refusal may close when the network changes
    QTimer::singleShot(0, qApp, [] {
        g_offerPending = false;
        if (g_networkOffer)
            runCommand(g_networkOffer);
    });
}

void offerOtherNetworkAfter(const std::exception &e)
{
    if (dynamic_cast<const ServerUnavailable *>(&e))
        offerOtherNetwork();
}

void runCommand(const std::function<void()> &command)
{
    try {
        command();
    } catch (const VardexError &e) {
        Platform::get().topLevelError(e.message());
        offerOtherNetworkAfter(e);
    } catch (const std::exception &e) {
        Platform::get().topLevelError(QString::fromUtf8(e.what()));
    }
}
