#include "data/NamedQuery.h"

#include <functional>

#include <QCollator>
#include <QDate>
#include <QLocale>
#include <algorithm>
#include <numeric>
#include <optional>
#include <cmath>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

#include "data/ADataER.h"
#include "data/VardexError.h"

QueryModel::QueryModel(NamedQuery *query) : m_query(query) {}

int QueryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_query->recordCount();
}

int QueryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_query->header().count();
}

QVariant QueryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return m_query->value(index.row(), index.column());
}

QVariant QueryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return fieldName(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QString QueryModel::fieldName(int column) const
{
    return m_query->header().fieldName(column);
}

void QueryModel::reset()
{
    beginResetModel();
    endResetModel();
}

NamedQuery::NamedQuery(QString name, QStringList lines, QList<ParamDecl> params,
                       QString connectionName, QObject *parent)
    : QObject(parent), m_lines(std::move(lines)), m_params(std::move(params)),
      m_connectionName(std::move(connectionName)), m_model(this)
{
    setObjectName(name);
    m_values.resize(m_params.size());
}

void NamedQuery::setSQL(const QStringList &lines)
{
    close();
    m_sortField.clear();
    m_lines = lines;
}

int NamedQuery::paramIndex(const QString &name) const
{
    for (int i = 0; i < m_params.size(); ++i)
        if (m_params[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void NamedQuery::setParam(const QString &name, const QVariant &value)
{
    const int i = paramIndex(name);
    if (i < 0)
        throw VardexError(QStringLiteral("%1: Parameter '%2' not found").arg(objectName(), name));
    m_values[i] = value;
}

QVariant NamedQuery::param(const QString &name) const
{
    const int i = paramIndex(name);
    return i < 0 ? QVariant() : m_values[i];
}

QVariant NamedQuery::bindValue(const QString &name) const
{
    const int i = paramIndex(name);
    if (i < 0)
        throw VardexError(QStringLiteral("%1: Parameter '%2' not found").arg(objectName(), name));
    const QVariant &v = m_values[i];
    if (v.isNull() || !v.isValid()) {
        switch (m_params[i].kind) {
        case ParamKind::Integer: return QVariant(QMetaType::fromType<qlonglong>());
        case ParamKind::Date: return QVariant(QMetaType::fromType<QDate>());
        case ParamKind::Float: return QVariant(QMetaType::fromType<double>());
        default: return QVariant(QMetaType::fromType<QString>());
        }
    }
    switch (m_params[i].kind) {
    case ParamKind::Integer: return v.toLongLong();
    case ParamKind::Date: return v.toDate();
    case ParamKind::Float: return v.toDouble();
    case ParamKind::String:
    case ParamKind::Memo: return v.toString();
    }
    return v;
}

NamedQuery::Prepared NamedQuery::prepareText(const QString &sql)
{
    Prepared out;
    out.text.reserve(sql.size());
    QChar quote;   // the quote we are inside, or null
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            out.text += c;
            if (c == QLatin1Char('\\') && quote != QLatin1Char('`') && i + 1 < sql.size()) {
                out.text += sql[++i];
            } else if (c == quote) {
                quote = QChar();
            }
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
            quote = c;
            out.text += c;
            continue;
        }
        const bool startsName = c == QLatin1Char(':') && i + 1 < sql.size()
            && (sql[i + 1].isLetter() || sql[i + 1] == QLatin1Char('_'));
        if (!startsName) {
            out.text += c;
            continue;
        }
        int end = i + 1;
        while (end < sql.size() && (sql[end].isLetterOrNumber() || sql[end] == QLatin1Char('_')))
            ++end;
        out.names << sql.mid(i + 1, end - i - 1);
        out.marks << out.text.size();
        out.text += QLatin1Char('?');
        i = end - 1;
    }
    return out;
}

QString NamedQuery::literal(const QString &name, const QSqlDriver *driver) const
{
    const QVariant v = bindValue(name);
    // A null text is NULL, as it was for a bound value; an empty one is ''.
    if (v.isNull() || (v.metaType().id() == QMetaType::QString && v.toString().isNull()))
        return QStringLiteral("NULL");
    switch (v.metaType().id()) {
    case QMetaType::LongLong:
        return QString::number(v.toLongLong());
    case QMetaType::Double: {
        const double d = v.toDouble();
        return std::isfinite(d) ? QString::number(d, 'g', QLocale::FloatingPointShortest)
                                : QStringLiteral("NULL");
    }
    case QMetaType::QDate:
        return v.toDate().isValid()
            ? QLatin1Char('\'') + v.toDate().toString(Qt::ISODate) + QLatin1Char('\'')
            : QStringLiteral("NULL");
    default:
        return textLiteral(v.toString(), driver);
    }
}

QString NamedQuery::textLiteral(const QString &text, const QSqlDriver *driver)
{
    // The client library escapes the UTF-8 bytes for the connection's character set and the
    // server's quoting mode, exactly as it would for a bound value.
    QSqlField field(QString(), QMetaType::fromType<QByteArray>());
    field.setValue(text.toUtf8());
    return driver->formatValue(field);
}

void NamedQuery::run(bool expectRows)
{
    close();
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen())
        throw VardexError(QStringLiteral("%1: Cannot perform this operation on a closed connection")
                              .arg(objectName()));
    // One round trip per statement: the values go into the text as literals escaped by the
    // client library (a server-side prepared statement costs prepare, reset and execute).
    const Prepared prepared = prepareText(m_lines.join(QLatin1Char('\n')));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const auto execute = [&] {
        const QSqlDriver *driver = QSqlDatabase::database(m_connectionName, false).driver();
        QString text;
        text.reserve(prepared.text.size() + 16 * prepared.names.size());
        qsizetype from = 0;
        for (int i = 0; i < prepared.names.size(); ++i) {
            const qsizetype at = prepared.marks[i];
            text += QStringView(prepared.text).mid(from, at - from);
            text += literal(prepared.names[i], driver);
            from = at + 1;
        }
        text += QStringView(prepared.text).mid(from);
        return q.exec(text);
    };
    if (!execute()) {
        if (!isConnectionLoss(q.lastError()) || !DataER)
            raiseServerError(q.lastError());
        // The server went away. Open the connection again; a read outside a transaction is
        // simply repeated. A statement inside a transaction went with it (the server rolls an
        // open transaction back), but a write on its own may have been done before the link broke.
        const bool inTransaction = DataER->inTransaction();
        const bool repeatable = expectRows && !inTransaction;
        try {
            DataER->reconnect();
        } catch (const std::exception &) {
            if (!repeatable && !inTransaction)
                throw OutcomeUnknown(false);   // a write on its own may have been done
            throw;
        }
        if (!repeatable) {
            if (inTransaction)
                throw ConnectionRestored();
            throw OutcomeUnknown();
        }
        q = QSqlQuery(QSqlDatabase::database(m_connectionName, false));
        q.setForwardOnly(true);
        if (!execute())
            raiseServerError(q.lastError());
    }

    m_rowsAffected = q.numRowsAffected();
    if (expectRows && q.isSelect()) {
        m_header = q.record();
        const int columns = m_header.count();
        while (q.next()) {
            QList<QVariant> row;
            row.reserve(columns);
            for (int c = 0; c < columns; ++c)
                row << q.value(c);
            m_rows.push_back(std::move(row));
        }
        m_cursor = 0;
        m_active = true;
        if (!m_sortField.isEmpty() && m_header.indexOf(m_sortField) >= 0)
            sortRows(m_sortField);   // the order chosen by a title click lasts
        m_model.reset();
        emit opened();
    }
}

void NamedQuery::open() { run(true); }

NamedQuery *NamedQuery::reopen(const QList<QPair<QString, QVariant>> &values)
{
    close();
    for (const auto &[name, value] : values)
        setParam(name, value);
    open();
    return this;
}

QList<QPair<int, QString>> NamedQuery::idNames() const
{
    const int id = m_header.indexOf(QStringLiteral("id")), name = m_header.indexOf(QStringLiteral("name"));
    QList<QPair<int, QString>> out;
    for (int r = 0; r < recordCount(); ++r)
        out.append({value(r, id).toInt(), value(r, name).toString()});
    return out;
}

void NamedQuery::execSQL() { run(false); }

void NamedQuery::close()
{
    if (!m_active && m_rows.empty())
        return;
    m_active = false;
    m_rows.clear();
    m_sortKeys.clear();
    m_header = QSqlRecord();
    m_cursor = 0;
    m_model.reset();
    emit closed();
}

struct NamedQuery::SortKeys {
    bool numeric = true;                                // every value a number (or empty)
    std::vector<char> null;
    std::vector<double> number;
    std::vector<std::optional<QCollatorSortKey>> text;  // when not all numbers
    SortKeys(size_t n, const std::function<const QVariant &(size_t)> &at);
    bool less(size_t a, size_t b) const
    {
        if (null[a] || null[b])
            return null[a] && !null[b];
        return numeric ? number[a] < number[b] : text[a]->compare(*text[b]) < 0;
    }
    std::vector<size_t> order() const
    {
        std::vector<size_t> out(null.size());
        std::iota(out.begin(), out.end(), 0);
        std::stable_sort(out.begin(), out.end(), [this](size_t a, size_t b) { return less(a, b); });
        return out;
    }
};

NamedQuery::SortKeys::SortKeys(size_t n, const std::function<const QVariant &(size_t)> &at)
{
    const auto isNumber = [](const QVariant &v) {
        switch (v.metaType().id()) {
        case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
        case QMetaType::Double: case QMetaType::Float:
            return true;
        default:
            return false;
        }
    };
    null.resize(n);
    for (size_t r = 0; r < n; ++r) {
        const QVariant &v = at(r);
        null[r] = v.isNull();
        numeric = numeric && (v.isNull() || isNumber(v));
    }
    if (numeric) {
        number.resize(n);
        for (size_t r = 0; r < n; ++r)
            number[r] = null[r] ? 0 : at(r).toDouble();
        return;
    }
    QCollator collator(QLocale(QLocale::Russian, QLocale::Russia));
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    text.resize(n);
    for (size_t r = 0; r < n; ++r)
        if (!null[r])
            text[r] = collator.sortKey(at(r).toString());
}

NamedQuery::SortKeys &NamedQuery::sortKeys(int column)
{
    std::shared_ptr<SortKeys> &keys = m_sortKeys[column];
    if (!keys)
        keys = std::make_shared<SortKeys>(m_rows.size(), [this, column](size_t r) -> const QVariant & { return m_rows[r][column]; });
    return *keys;
}

std::vector<size_t> NamedQuery::sortOrder(const QVariantList &values)
{
    return SortKeys(size_t(values.size()), [&values](size_t r) -> const QVariant & { return values[qsizetype(r)]; }).order();
}

void NamedQuery::sortRows(const QString &fieldName)
{
    const int column = m_header.indexOf(fieldName);
    if (column < 0)
        throw VardexError(QStringLiteral("%1: Field '%2' not found").arg(objectName(), fieldName));
    m_sortField = fieldName;
    const std::vector<size_t> order = sortKeys(column).order();
    // the rows and every column's keys made so far, into the new order
    const auto permute = [&order](auto &v) {
        if (v.size() != order.size())
            return;
        std::remove_reference_t<decltype(v)> sorted;
        sorted.reserve(v.size());
        for (size_t i : order)
            sorted.push_back(std::move(v[i]));
        v = std::move(sorted);
    };
    permute(m_rows);
    for (auto &[c, k] : m_sortKeys) {
        permute(k->null);
        permute(k->number);
        permute(k->text);
    }
    m_cursor = 0;
    m_model.reset();
}

void NamedQuery::moveTo(int row)
{
    m_cursor = std::clamp(row, 0, recordCount());
}

QVariant NamedQuery::value(int row, int column) const
{
    if (row < 0 || row >= recordCount() || column < 0 || column >= m_header.count())
        return {};
    return m_rows[size_t(row)][column];
}

QVariant NamedQuery::value(int row, const QString &fieldName) const
{
    const int column = m_header.indexOf(fieldName);
    if (column < 0)
        throw VardexError(QStringLiteral("%1: Field '%2' not found").arg(objectName(), fieldName));
    return value(row, column);
}

QVariant NamedQuery::field(const QString &fieldName) const
{
    return value(m_cursor, fieldName);
}
