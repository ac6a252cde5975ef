#pragma once
#include "widgets/ChildWindow.h"
#include "widgets/LookupCombo.h"
#include "widgets/Grid.h"

class QProgressBar;

// Saving the scanned works of a discipline into a folder beside the program.
class TFormWorkLoadOriginal : public TChildForm {
    Q_OBJECT
public:
    explicit TFormWorkLoadOriginal(QWidget *parent = nullptr);

    TLookupCombo *DBLookupComboBox1;
    TDBGrid *DBGrid1;
    QPushButton *BitBtn2;   // "Сохранить выбранные"
    QPushButton *BitBtn3;   // "Сохранить ВСЕ"
    QProgressBar *ProgressBar2, *ProgressBar1;

    void readData();
    void BitBtn2Click();
    void BitBtn3Click();

private:
    void download(const QList<int> &rows);
};

extern TFormWorkLoadOriginal *FormWorkLoadOriginal;
