#include "widgets/LookupCombo.h"

#include <QApplication>
#include <QScopeGuard>
#include <QScrollBar>
#include <QCloseEvent>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>
#include <QTableView>
#include <QTextCursor>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/Background.h"
#include "data/DataOperations.h"
#include "data/NamedQuery.h"
#include "widgets/Fields.h"

TLookupCombo *addLookup(QWidget *parent, QBoxLayout *layout, const QString &caption, const char *objectName,
                        const QString &hint)
{
    auto *combo = new TLookupCombo(parent);
    layout->addWidget(captionFor(combo, caption, parent));
    combo->setObjectName(QString::fromLatin1(objectName));
    combo->setCursor(Qt::PointingHandCursor);
    setHint(combo, hint);
    layout->addWidget(combo);
    return combo;
}

TLookupCombo::TLookupCombo(QWidget *parent) : QComboBox(parent)
{
    wheelOnlyWithFocus(this);
    connect(this, &QComboBox::currentIndexChanged, this, [this] { m_changed = true; });
    // activated comes after the entry is current, for the popup, the keys and the wheel alike
    connect(this, &QComboBox::activated, this, [this] {
        if (!m_changed)
            return;
        m_changed = false;
        emit chosen();
    });
}

void TLookupCombo::bind(NamedQuery *query, const QString &shownField, const QString &keyField)
{
    m_query = query;
    m_shown = shownField;
    m_key = keyField;
    connect(query, &NamedQuery::opened, this, &TLookupCombo::refill);
    connect(query, &NamedQuery::closed, this, &TLookupCombo::refill);
    refill();
}

void TLookupCombo::refill()
{
    QSignalBlocker block(this);
    clear();
    if (m_query && m_query->active())
        for (int r = 0; r < m_query->recordCount(); ++r)
            addItem(m_query->value(r, m_shown).toString());
    setCurrentIndex(count() > 0 ? 0 : -1);
    m_changed = false;
}

int TLookupCombo::keyValue() const
{
    if (!m_query)   // a list filled by hand keeps its keys as item data
        return currentIndex() < 0 ? 0 : currentData().toInt();
    return rowValue(m_key).toInt();
}

QVariant TLookupCombo::rowValue(const QString &field) const
{
    const int row = currentIndex();
    if (!m_query || row < 0 || row >= m_query->recordCount())
        return {};
    return m_query->value(row, field);
}

void TLookupCombo::selectKey(int key)
{
    int found = -1;
    for (int r = 0; m_query && r < m_query->recordCount() && found < 0; ++r)
        if (m_query->value(r, m_key).toInt() == key)
            found = r;
    selectIndex(found);
}

void TLookupCombo::selectIndex(int index)
{
    setCurrentIndex(index);
    m_changed = false;
}
