#pragma once
#include "widgets/ChildWindow.h"

// "О программе": created for the command, shown modally, destroyed on close.
class TAboutBox : public TDialogForm {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);
    ~TAboutBox() override;
};

extern TAboutBox *AboutBox;
