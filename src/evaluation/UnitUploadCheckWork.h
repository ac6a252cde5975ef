#pragma once
#include "data/UploadData.h"
#include <optional>

#include "widgets/ChildWindow.h"
#include "widgets/LookupCombo.h"
#include "widgets/Grid.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;

// Uploading checked scans: single or batch, the list of uploads by area, deleting one.
class TFormUploadCheckWork : public TChildForm {
    Q_OBJECT
public:
    static constexpr qint64 kMaxUpload = UploadData::kMaxUploadBytes;

    explicit TFormUploadCheckWork(QWidget *parent = nullptr);

    TLookupCombo *DBLookupComboBoxEDU;
    TLookupCombo *DBLookupComboBoxArea;   // MemArea: 0 = all areas, then the areas
    QLabel *Label3, *Label4;
    QProgressBar *ProgressBar2, *ProgressBar1;
    TDBGrid *DBGrid1;
    QLineEdit *Edit1;
    QPushButton *BitBtn2;   // "Загрузить"
    QCheckBox *CheckBox1;   // batch mode
    QPushButton *BitBtn3;   // "Удалить"

    void readData();
    QString calcSumm() const;
    bool checkSizeFile(const QString &path);
    int getMO(int participant);
    QString CreateNewNameFile(int participant);
    QString uploadFile(int area, int participant, const QString &path);   // raises what went wrong
    void BitBtn2Click();
    void BitBtn3Click();
    void CheckBox1Click();

private:
    // the constructor's steps
    void build();
    void bind();
    void load();
    // Area of a participant's upload, after the checks; false: skip it.
    bool prepare(int participant, int &area);
};

extern TFormUploadCheckWork *FormUploadCheckWork;
