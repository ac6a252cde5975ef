#pragma once
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QStringList>
#include <array>
#include <exception>
#include <functional>

#include "data/Config.h"
#include "data/NamedQuery.h"

// How long the connection waits for the server's answer to one statement: a statement that
// waits on the server (a lock) must end well before it.
constexpr int kReadTimeoutSeconds = 60;

// One network profile: whole parameter lines, key=value, as handed to the database layer.
struct TparamConnect {
    QString UserName;
    QString Password;
    QString Server;
    QString DataBase;
    QString Port;
};

// The data module: the one connection, its two network profiles, the session and every named
// query. Lives for the whole run; DataER points at it.
class TDataER : public QObject {
    Q_OBJECT
public:
    explicit TDataER(QObject *parent = nullptr);
    explicit TDataER(const Config &config, QObject *parent = nullptr);
    ~TDataER() override;

    // Session: userID -1 means nobody is logged in.
    int userID = -1;
    QString FIO;
    QString LoginUser;

    static QString DEcryptText(const QString &TextToEncrypt, int Key);
    bool changeNET(int idNET);
    int net() const { return m_net; }   // the network profile in use
    bool connectDB();
    bool connected() const;
    const TparamConnect &profile(int index) const { return ConnectSRV[size_t(index)]; }
    // The ten parameter lines last handed to the connection, in order.
    const QStringList &connectionParams() const { return m_params; }
    // The connection error raised while the module was being created, if any.
    std::exception_ptr creationError() const { return m_creationError; }

    NamedQuery *query(const QString &name) const;   // throws for an unknown name
    NamedQuery *emptySQL = nullptr;

    void SortSQL(NamedQuery *SortQuery, const QString &NameFieldSQL);
    static QString my_ucfirst(const QString &inSTR);
    // Without leading and trailing characters of code 32 and below (blanks and control characters).
    static QString Trim(const QString &text);
    // A download folder: beside the program when the program's folder can be written (a copy run
    // from a folder of its own), else under the user's documents ("Documents/Vardex"), as an
    // installed program in /usr/bin has it.
    static QString downloadFolder(const QString &DirectoryName);
    static bool DirectoryCreate(const QString &DirectoryName);   // downloadFolder(name), one level
    // False for a typed login holding control, format or separator characters (such as a
    // right-to-left mark): no stored address has them, and they only disguise another one.
    static bool isPlainLogin(const QString &login);

    // One HTML letter from the centre's mailbox; true when the server took it, an error otherwise.
    bool MailSend(const QString &subject, const QString &subjectName, const QString &AdressTo, const QString &body);
    static QString mailDate(const QDateTime &when);   // a letter's Date: header value
    // lengthPSWD + 1 capital Latin letters from the system's cryptographic random source.
    static QString generatePassword(int lengthPSWD);

    // Several statements that must stand or fall together (the program's own addition).
    void startTransaction();
    void commit();
    void rollback();
    bool inTransaction() const { return m_inTransaction; }
    // After a lost connection (server restarted, network dropped): opens it again to the same
    // server. Raises the connection error when that fails.
    void reconnect();

    static QString connectionName() { return QStringLiteral("vardex"); }

    // "table.column" -> the column's character set as the server reports it; read once per
    // connection (see DataOperations' unstorableCharacters).
    QHash<QString, QString> columnCharsets;

signals:
    void afterConnect();
    void afterDisconnect();

private:
    int m_net = 0;
    void DataModuleCreate();
    void DataModuleDestroy();
    void closeConnection(bool notify);
    static void secureHandle(QSqlDatabase &db);
    [[noreturn]] void raiseConnectionError(const QSqlError &error);

    Config m_config;
    std::array<TparamConnect, 2> ConnectSRV;
    QStringList m_params;
    QHash<QString, NamedQuery *> m_queries;
    std::exception_ptr m_creationError;
    bool m_open = false;
    bool m_inTransaction = false;
};

extern TDataER *DataER;

// "Server has gone away", "Lost connection": the connection itself failed, not the statement.
bool isConnectionLoss(const QSqlError &error);
// A statement's or a commit's failure by what the server did: LockConflict for a transaction it
// rolled back in favour of another (1213, 1205, at any statement or at the commit), DuplicateRow
// for a unique key's refusal, ServerUnavailable for a server that cannot take work now, else a
// plain VardexError.
[[noreturn]] void raiseServerError(const QSqlError &error);

// Statements that stand or fall together: rolled back unless commit() was reached.
class Transaction {
public:
    explicit Transaction(TDataER &data) : m_data(data) { m_data.startTransaction(); }
    ~Transaction()
    {
        if (!m_done)
            m_data.rollback();
    }
    void commit()
    {
        m_data.commit();
        m_done = true;
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

private:
    TDataER &m_data;
    bool m_done = false;
};
