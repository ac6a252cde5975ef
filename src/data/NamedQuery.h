#pragma once
#include <QAbstractTableModel>
#include <QList>
#include <QPair>
#include <QObject>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <map>
#include <memory>
#include <vector>

class QSqlDatabase;
class QSqlDriver;

enum class ParamKind { Integer, String, Date, Memo, Float };

struct ParamDecl {
    QString name;
    ParamKind kind;
    int size = 0;
};

class NamedQuery;

// The rows of an open query, for the grid or lookup list bound to it (a "Source").
class QueryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit QueryModel(NamedQuery *query);
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // The result field shown in a column: what a title click sorts by.
    QString fieldName(int column) const;
    void reset();

private:
    NamedQuery *m_query;
};

// One statement of the data module: SQL kept as lines, named parameters declared with their
// kind, the rows of the last open held in memory with a current-row cursor.
class NamedQuery : public QObject {
    Q_OBJECT
public:
    NamedQuery(QString name, QStringList lines, QList<ParamDecl> params, QString connectionName,
               QObject *parent = nullptr);

    QString name() const { return objectName(); }
    const QStringList &sql() const { return m_lines; }
    void setSQL(const QStringList &lines);   // only while closed
    const QList<ParamDecl> &params() const { return m_params; }

    // Parameter names match without regard to case; an undeclared name is an error.
    void setParam(const QString &name, const QVariant &value);
    QVariant param(const QString &name) const;

    // The statement read again: closed, these parameter values set, opened.
    NamedQuery *reopen(const QList<QPair<QString, QVariant>> &values = {});
    // The rows as pairs of their "id" and "name" fields, in the statement's order.
    QList<QPair<int, QString>> idNames() const;
    void open();        // runs a statement that returns rows
    void execSQL();     // runs a statement that changes rows
    void close();
    bool active() const { return m_active; }
    int rowsAffected() const { return m_rowsAffected; }

    int recordCount() const { return int(m_rows.size()); }
    bool eof() const { return m_cursor >= recordCount(); }
    void first() { m_cursor = 0; }
    void next() { if (!eof()) ++m_cursor; }
    void moveTo(int row);
    // Orders the rows held, ascending by a field, stably: numbers as numbers, texts as a Russian
    // reader orders them (digits inside a text by value), empty values first. No round trip.
    // The order lasts: every later read of this query comes in it too (rows that tie keep the
    // statement's own order), until the statement is replaced.
    void sortRows(const QString &fieldName);
    // The order sortRows gives a column of these values: indexes into them.
    static std::vector<size_t> sortOrder(const QVariantList &values);
    QVariant field(const QString &fieldName) const;    // of the current row
    QVariant value(int row, const QString &fieldName) const;
    QVariant value(int row, int column) const;
    const QSqlRecord &header() const { return m_header; }

    QueryModel *model() { return &m_model; }

    // The statement as sent: ":name" placeholders replaced by "?" (quotes and backquotes
    // skipped, any Unicode letter allowed in a name), with the names in order of use.
    struct Prepared {
        QString text;
        QStringList names;
        QList<qsizetype> marks;   // where each "?" stands in text
    };
    static Prepared prepareText(const QString &sql);
    // A text as an SQL literal, escaped by the client library for the connection's character set
    // and quoting mode: how every text value travels.
    static QString textLiteral(const QString &text, const QSqlDriver *driver);

signals:
    void opened();
    void closed();

private:
    int paramIndex(const QString &name) const;
    void run(bool expectRows);
    QVariant bindValue(const QString &name) const;
    QString literal(const QString &name, const QSqlDriver *driver) const;

    QStringList m_lines;
    QList<ParamDecl> m_params;
    QList<QVariant> m_values;
    QString m_connectionName;
    bool m_active = false;
    int m_rowsAffected = 0;
    QSqlRecord m_header;
    std::vector<QList<QVariant>> m_rows;
    int m_cursor = 0;
    QString m_sortField;
    // A column's sort keys, made once per read on its first title click and kept in row order:
    // a click compares keys, not texts through the collator.
    struct SortKeys;
    std::map<int, std::shared_ptr<SortKeys>> m_sortKeys;
    SortKeys &sortKeys(int column);
    QueryModel m_model;
};
