#pragma once
#include "widgets/ChildWindow.h"
#include "widgets/LookupCombo.h"
#include "widgets/Grid.h"

// Methodology materials of every period and discipline; a document opens from the file server.
class TFormMethod : public TChildForm {
    Q_OBJECT
public:
    explicit TFormMethod(QWidget *parent = nullptr);
    TDBGrid *DBGrid1;
    QPushButton *BitBtn4;   // "Просмотр"
    void BitBtn4Click();
};

// Measuring materials of one of the expert's disciplines.
class TFormMeasuring : public TChildForm {
    Q_OBJECT
public:
    explicit TFormMeasuring(QWidget *parent = nullptr);
    TLookupCombo *DBLookupComboBox1;
    TDBGrid *DBGrid1;
    QPushButton *BitBtn4;   // "Просмотр"
    void readData();
    void BitBtn4Click();
};

extern TFormMethod *FormMethod;
extern TFormMeasuring *FormMeasuring;
