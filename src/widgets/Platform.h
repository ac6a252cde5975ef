#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class QDialog;

// Everything that leaves the program's own windows: message boxes, the file-open dialog, modal
// dialogs, the desktop's open action and detached programs. The program installs the real one;
// tests install one that answers and records.
class Platform {
public:
    virtual ~Platform() = default;
    virtual void information(const QString &text) = 0;
    virtual void error(const QString &text) = 0;
    virtual bool warningQuestion(const QString &text) = 0;       // true: "Yes"
    virtual void topLevelError(const QString &text) = 0;
    virtual QStringList openFiles(const QString &title, const QString &filter, bool multiple) = 0;
    virtual int execDialog(QDialog &dialog) = 0;
    virtual void openUrl(const QString &address) = 0;            // the desktop's open action
    virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;

    static Platform &get();
    static void install(Platform *platform);   // nullptr: back to the real one
};

// The real platform: Qt message boxes and the desktop services.
class DesktopPlatform : public Platform {
public:
    void information(const QString &text) override;
    void error(const QString &text) override;
    bool warningQuestion(const QString &text) override;
    void topLevelError(const QString &text) override;
    QStringList openFiles(const QString &title, const QString &filter, bool multiple) override;
    int execDialog(QDialog &dialog) override;
    void openUrl(const QString &address) override;
    bool startDetached(const QString &program, const QStringList &arguments) override;
};

// Runs one command; whatever error escapes it is shown in the top-level error box, and the
// program goes on.
// Qt's own texts (file dialog, calendar, standard buttons) in Russian, from the distribution's
// Qt translations; without them the English texts stay.
void installRussianTranslations();

void runCommand(const std::function<void()> &command);
