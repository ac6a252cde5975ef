#pragma once
#include "widgets/ChildWindow.h"

class QRadioButton;

// "Выбор сети": which network profile the connection uses. Always opens on "Интернет".
class TFormNetSelect : public TDialogForm {
    Q_OBJECT
public:
    explicit TFormNetSelect(QWidget *parent = nullptr);
    ~TFormNetSelect() override;
    int itemIndex() const;
    void setItemIndex(int index);

private:
    QRadioButton *m_items[2];
};

extern TFormNetSelect *FormNetSelect;

// Steps 1-3 of the network choice: the dialog, then (on OK) beforeChange and changeNET with the
// chosen profile. Used by "Выбор сети" and by the login dialog's network button.
// The network dialog; `proposed` (0 or 1), when given, is the network chosen in it at first
// (the other one, after a server refused work: Enter takes it).
void chooseNetwork(QWidget *parent, const std::function<void()> &beforeChange, int proposed = -1);
