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
class UploadWindow : public TChildForm {
    Q_OBJECT
public:
    static constexpr qint64 kMaxUpload = UploadData::kMaxUploadBytes;

    explicit UploadWindow(QWidget *parent = nullptr);

    TLookupCombo *disciplineList;
    TLookupCombo *areaList;   // 0: all areas, then the areas
    QLabel *totalLabel, *participantLabel;
    QProgressBar *batchBar, *bytesBar;
    TDBGrid *uploadsGrid;
    QLineEdit *participantEdit;
    QPushButton *uploadButton;   // "Загрузить"
    QCheckBox *batchCheck;   // batch mode
    QPushButton *deleteButton;   // "Удалить"

    void readList();
    QString uploadedCount() const;
    bool fitsUploadLimit(const QString &path);
    int areaOf(int participant);
    QString storedNameFor(int participant);
    QString uploadFile(int area, int participant, const QString &path);   // raises what went wrong
    void upload();
    void removeSelected();
    void batchToggled();

private:
    // the constructor's steps
    void build();
    void bind();
    void load();
    // Area of a participant's upload, after the checks; false: skip it.
    bool prepare(int participant, int &area);
};

extern UploadWindow *uploadWindow;
