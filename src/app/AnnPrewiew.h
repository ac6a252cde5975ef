#pragma once
#include "widgets/ChildWindow.h"

class QTextEdit;

// The announcement viewer shown after a login while the centre's switch is on.
class TFormAnnPrewiew : public TDialogForm {
    Q_OBJECT
public:
    explicit TFormAnnPrewiew(QWidget *parent = nullptr);
    ~TFormAnnPrewiew() override;
    QTextEdit *RichEdit1 = nullptr;

    void FormShow();   // fills the viewer from the database
    void fill(const QString &body, int canvas);   // with a text already read

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool m_filled = false;
};

extern TFormAnnPrewiew *FormAnnPrewiew;

// ColorCanvas is a Windows colour value: 00BBGGRR.
QColor colorFromCanvas(int value);
