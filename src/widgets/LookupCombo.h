#pragma once
#include <QBoxLayout>
#include <QComboBox>

class NamedQuery;

// A lookup list over a query of the data module: one entry per row (so a key that appears in
// two rows is listed twice), refilled when the query opens and emptied when it closes. It tells
// once per change when the user chose another entry (popup, keyboard or wheel), after the entry
// is current, so that whatever re-reads sees exactly the entry shown. The wheel changes it only
// while it has the focus; otherwise the wheel scrolls what is around it.
class TLookupCombo : public QComboBox {
    Q_OBJECT
public:
    explicit TLookupCombo(QWidget *parent = nullptr);
    void bind(NamedQuery *query, const QString &shownField, const QString &keyField);
    int keyValue() const;                            // the chosen row's key; 0 with no row chosen
    QVariant rowValue(const QString &field) const;   // a field of the chosen row
    void selectKey(int key);                         // no row when the key is not listed
    void selectIndex(int index);                     // chosen by the program: no chosen()

signals:
    void chosen();

private:
    void refill();
    NamedQuery *m_query = nullptr;
    QString m_shown, m_key;
    bool m_changed = false;   // the current entry changed since chosen() was last told
};

// A caption and below it a lookup list (hand cursor, hint), added to layout.
TLookupCombo *addLookup(QWidget *parent, QBoxLayout *layout, const QString &caption, const char *objectName,
                        const QString &hint);
