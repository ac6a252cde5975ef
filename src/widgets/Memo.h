#pragma once
#include <QPlainTextEdit>
#include <QPointer>

// A multi-line text box that takes at most maxLength characters, however they are typed or
// pasted. A stored text set with setStoredText is shown and kept whole, however long: only what
// is typed is held to the limit (the box never grows past the longer of the two).
class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMemo(int maxLength, QWidget *parent = nullptr);
    int maxLength() const { return m_maxLength; }
    void setStoredText(const QString &text);
    // A list (a completer's popup) shown over the box: while it is open, Enter, Esc and Tab are
    // the list's, not the text's.
    void setList(QWidget *popup) { m_list = popup; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    int m_maxLength;
    int m_storedLength = 0;   // of the stored text last set
    QPointer<QWidget> m_list;
};
