#pragma once
#include <QString>
#include <QStringList>
#include <QMessageBox>
#include <functional>

class QDialog;

// Everything that leaves the program's own windows: message boxes, the file-open dialog, modal
// dialogs, the desktop's open action and detached programs. The program installs the real one;
// tests install one that answers and records.
class Platform {
public:
    virtual ~Platform() = default;
    // The text is what the user reads; a detail (the caught reason) goes under the box's
    // "Show Details…" and, with the text, into the event log.
    void information(const QString &text, const QString &detail = {});
    void error(const QString &text, const QString &detail = {});
    // As error(), for a text that holds what the user typed into a login box (a password typed
    // there by mistake must not reach the disk): shown whole, logged with `typed` blanked.
    void errorAboutTyped(const QString &text, const QString &typed);
    void topLevelError(const QString &text);   // also logged
    virtual bool warningQuestion(const QString &text) = 0;       // true: "Yes"
    // The file-open dialog, opened in the folder files were last chosen from (kept in the settings).
    QStringList openFiles(const QString &title, const QString &filter, bool multiple);
    virtual int execDialog(QDialog &dialog) = 0;
    // The desktop's open action; when no program takes the address, the user is told so and
    // given the address to open by hand.
    void openUrl(const QString &address);
    virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;

    static Platform &get();
    static void install(Platform *platform);   // nullptr: back to the real one

protected:
    virtual bool launchUrl(const QString &address) = 0;   // false: nothing took it
    virtual QStringList chooseFiles(const QString &title, const QString &filter, bool multiple, const QString &folder) = 0;
    virtual void showInformation(const QString &text, const QString &detail) = 0;
    virtual void showError(const QString &text, const QString &detail) = 0;
    virtual void showTopLevelError(const QString &text) = 0;
};

// The real platform: Qt message boxes and the desktop services.
class DesktopPlatform : public Platform {
public:
    bool warningQuestion(const QString &text) override;
    int execDialog(QDialog &dialog) override;
    bool startDetached(const QString &program, const QStringList &arguments) override;
    // A box's caption in the language of its buttons: Russian when Qt's Russian texts are in use.
    static QString caption(QMessageBox::Icon icon);

protected:
    bool launchUrl(const QString &address) override;
    QStringList chooseFiles(const QString &title, const QString &filter, bool multiple, const QString &folder) override;
    void showInformation(const QString &text, const QString &detail) override;
    void showError(const QString &text, const QString &detail) override;
    void showTopLevelError(const QString &text) override;
};

// Qt's own texts (file dialog, calendar, standard buttons) in Russian, from the distribution's
// Qt translations; without them the English texts stay.
void installRussianTranslations();

// After a server refused work for now (ServerUnavailable): the main window's offer of the other
// network, made once the command that met the refusal has returned (one offer at a time).
void setNetworkOffer(const std::function<void()> &offer);
void offerOtherNetwork();
// Offers the other network when `e` is such a refusal.
void offerOtherNetworkAfter(const std::exception &e);

// Runs one command; whatever error escapes it is shown in the top-level error box (and logged
// under the command's name), and the program goes on.
void runCommand(const std::function<void()> &command);
void runCommand(const QString &name, const std::function<void()> &command);
