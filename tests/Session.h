#pragma once
#include <QtTest>

#include "RecordingPlatform.h"
#include "app/ChildForms.h"
#include "app/UnitMainER.h"
#include "data/ADataER.h"

// An expert's workstation as the tests drive it: the data module (outliving the windows, as in
// the program), the recording platform and the main window, with the expert logged in.
struct Session {
    TDataER data;
    RecordingPlatform platform;
    TFormMainER window;
    explicit Session(int user = 1)
    {
        window.attachDataModule(&data);
        window.show();
        data.userID = user;
        window.enableMenu(true);
    }
};

// Chooses the entry with that text as the user would: pick it, the list closes up.
inline void choose(TLookupCombo *combo, const QString &text, int occurrence = 0)
{
    int index = -1;
    for (int i = 0; i < combo->count() && index < 0; ++i)
        if (combo->itemText(i) == text && occurrence-- == 0)
            index = i;
    QVERIFY2(index >= 0, qPrintable(text));
    combo->setCurrentIndex(index);
    emit combo->closeUp();
}
