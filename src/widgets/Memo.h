#pragma once
#include <QPlainTextEdit>
#include <QPointer>

// A multi-line text box that takes at most maxLength characters, however they arrive.
class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMemo(int maxLength, QWidget *parent = nullptr);
    int maxLength() const { return m_maxLength; }
    // A list (a completer's popup) shown over the box: while it is open, Enter, Esc and Tab are
    // the list's, not the text's.
    void setList(QWidget *popup) { m_list = popup; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    int m_maxLength;
    QPointer<QWidget> m_list;
};
