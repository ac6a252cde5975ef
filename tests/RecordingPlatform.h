#pragma once
#include <QDialog>
#include <QList>
#include <QPair>
#include <functional>

#include "widgets/Platform.h"

// The tests' platform: records every message box, address and started program, and answers
// questions and dialogs as the test says. Installed for its lifetime.
class RecordingPlatform : public Platform {
public:
    struct Box {
        QString kind;   // information, error, warning, toplevel
        QString text;
        QString detail;
    };
    QList<Box> boxes;
    QStringList urls;
    QList<QPair<QString, QStringList>> started;
    QList<bool> answers;                                 // for warning questions, in order; default Yes
    QStringList filesToOpen;
    std::function<int(QDialog &)> onDialog = [](QDialog &) { return int(QDialog::Rejected); };

    RecordingPlatform() { Platform::install(this); }
    ~RecordingPlatform() override { Platform::install(nullptr); }

    std::function<void()> onInformation;   // runs as an information box is closed
    void showInformation(const QString &text, const QString &detail) override
    {
        boxes.append({"information", text, detail});
        if (onInformation)
            onInformation();
    }
    void showError(const QString &text, const QString &detail) override
    {
        boxes.append({"error", text, detail});
        if (onBox)
            onBox();
    }
    std::function<void()> onBox;   // runs as an error box shows: what the user sees behind it
    bool warningQuestion(const QString &text) override
    {
        boxes.append({"warning", text, {}});
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    void showTopLevelError(const QString &text) override { boxes.append({"toplevel", text, {}}); }
    QStringList folders;   // the folder each file dialog would have opened in
    QStringList chooseFiles(const QString &, const QString &, bool, const QString &folder) override
    {
        folders << folder;
        return filesToOpen;
    }
    int execDialog(QDialog &dialog) override { return onDialog(dialog); }
    bool opens = true;   // false: no program on this computer takes an address
    bool launchUrl(const QString &address) override
    {
        urls << address;
        return opens;
    }
    bool startDetached(const QString &program, const QStringList &arguments) override
    {
        started.append({program, arguments});
        return true;
    }
    QStringList texts(const QString &kind) const
    {
        QStringList out;
        for (const Box &b : boxes)
            if (b.kind == kind)
                out << b.text;
        return out;
    }
};
