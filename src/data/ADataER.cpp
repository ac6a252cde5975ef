#include "data/ADataER.h"

#include <QRandomGenerator>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSqlDriver>
#include <QSqlError>
#include <mysql.h>

#include "data/Config.h"
#include "data/SqlCatalogue.h"
#include "data/VardexError.h"

TDataER *DataER = nullptr;

namespace {

QString lineValue(const QString &line)
{
    return line.section(QLatin1Char('='), 1);
}

// Connect and I/O timeouts: an unreachable server must not hold the window for minutes.
#define VARDEX_STR2(x) #x
#define VARDEX_STR(x) VARDEX_STR2(x)
#define VARDEX_READ_TIMEOUT 60
static_assert(VARDEX_READ_TIMEOUT == kReadTimeoutSeconds);
const char *const kConnectOptions =
    "MYSQL_OPT_CONNECT_TIMEOUT=10;MYSQL_OPT_READ_TIMEOUT=" VARDEX_STR(VARDEX_READ_TIMEOUT) ";MYSQL_OPT_WRITE_TIMEOUT=60";

} // namespace

TDataER::TDataER(QObject *parent) : TDataER(Config::get(), parent) {}

TDataER::TDataER(const Config &config, QObject *parent) : QObject(parent), m_config(config)
{
    DataER = this;
    QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), connectionName());
    for (const QueryDef &def : sqlCatalogue())
        m_queries.insert(def.name, new NamedQuery(def.name, def.lines, def.params, connectionName(), this));
    emptySQL = new NamedQuery(QStringLiteral("emptySQL"), {}, {}, connectionName(), this);
    m_queries.insert(emptySQL->name(), emptySQL);
    try {
        DataModuleCreate();
    } catch (...) {
        // The caller shows it in the top-level error box; the program runs on without a connection.
        m_creationError = std::current_exception();
    }
}

TDataER::~TDataER()
{
    DataModuleDestroy();
    if (DataER == this)
        DataER = nullptr;
}

void TDataER::DataModuleCreate()
{
    const Config &cfg = m_config;
    const QString password = cfg.dbPasswordOverridden ? cfg.dbPasswordPlain
                                                      : DEcryptText(cfg.dbPasswordStored, cfg.dbPasswordKey);
    const QString hosts[2] = {cfg.dbHost, cfg.dbIntranetHost};
    const int ports[2] = {cfg.dbPort, cfg.dbIntranetPort};
    for (int i = 0; i < 2; ++i) {
        TparamConnect &p = ConnectSRV[size_t(i)];
        p.UserName = QStringLiteral("User_Name=sorev");
        p.Password = QStringLiteral("Password=") + password;
        p.Server = QStringLiteral("Server=") + hosts[i];
        p.DataBase = QStringLiteral("Database=sorev");
        p.Port = QStringLiteral("Port=") + QString::number(ports[i]);
    }
    userID = -1;
    FIO.clear();
    changeNET(0);
    connectDB();
}

void TDataER::DataModuleDestroy()
{
    for (NamedQuery *q : std::as_const(m_queries))
        q->close();
    closeConnection(false);
    QSqlDatabase::removeDatabase(connectionName());
}

QString TDataER::DEcryptText(const QString &TextToEncrypt, int Key)
{
    QString result;
    result.reserve(TextToEncrypt.size());
    for (QChar c : TextToEncrypt)
        result += QChar(char16_t((c.unicode() - Key) & 0xFFFF));
    return result;
}

void TDataER::closeConnection(bool notify)
{
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName(), false);
        if (db.isValid())
            db.close();
    }
    const bool wasOpen = m_open;
    m_open = false;
    if (wasOpen && notify)
        emit afterDisconnect();
}

bool TDataER::changeNET(int idNET)
{
    closeConnection(true);
    m_net = idNET;
    const TparamConnect &p = ConnectSRV[size_t(idNET)];
    m_params = {p.Server, p.DataBase, p.UserName, p.Password, p.Port,
                QStringLiteral("DriverName=MySQL"), QStringLiteral("DriverID=MySQL"),
                QStringLiteral("CharacterSet=utf8"), QStringLiteral("Compress=false"),
                QStringLiteral("TinyIntFormat=tifBoolean")};
    QSqlDatabase db = QSqlDatabase::database(connectionName(), false);
    db.setHostName(lineValue(p.Server));
    db.setDatabaseName(lineValue(p.DataBase));
    db.setUserName(lineValue(p.UserName));
    db.setPassword(p.Password.mid(QStringLiteral("Password=").size()));
    db.setPort(lineValue(p.Port).toInt());
    db.setConnectOptions(QString::fromLatin1(kConnectOptions));
    return connectDB();
}

bool TDataER::connectDB()
{
    QSqlDatabase db = QSqlDatabase::database(connectionName(), false);
    if (m_open && db.isOpen())
        return true;
    if (!db.open())
        raiseConnectionError(db.lastError());
    secureHandle(db);
    m_open = true;
    columnCharsets.clear();   // another server, or the same one changed meanwhile
    emit afterConnect();
    return db.isOpen();
}

void TDataER::secureHandle(QSqlDatabase &db)
{
    // Values travel as literals escaped by the client library for the connection's character
    // set: that set must be the UTF-8 the literals are written in, and a slip in the escaping
    // must not turn one statement into several.
    MYSQL *mysql = nullptr;
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && (qstrcmp(handle.typeName(), "MYSQL*") == 0 || qstrcmp(handle.typeName(), "st_mysql*") == 0))
        mysql = *static_cast<MYSQL *const *>(handle.constData());
    const QString charset = mysql ? QString::fromLatin1(mysql_character_set_name(mysql)) : QString();
    QString refusal;
    if (!mysql)
        refusal = QStringLiteral("драйвер базы данных не предоставил соединение");
    else if (mysql_set_server_option(mysql, MYSQL_OPTION_MULTI_STATEMENTS_OFF) != 0)
        refusal = QString::fromUtf8(mysql_error(mysql));
    else if (charset != QLatin1String("utf8mb4") && charset != QLatin1String("utf8mb3") && charset != QLatin1String("utf8"))
        refusal = QStringLiteral("кодировка соединения %1 вместо utf8mb4").arg(charset);
    if (refusal.isEmpty())
        return;
    db.close();
    throw VardexError(QStringLiteral("DBConnection Error. UnknownMistake\r\n\r\n") + refusal);
}

bool TDataER::connected() const
{
    return m_open;
}

namespace {
// Why a server cannot take work now, in the expert's words; "" when the code is not such a refusal.
QString unavailableReason(int code)
{
    switch (code) {
    case 1040:   // too many connections
    case 1203:   // too many connections of this account
        return QStringLiteral("заняты все соединения сервера");
    case 1180:   // a commit refused: on a cluster, a node cut off from the others
        return QStringLiteral("сервер не смог сохранить изменения (узел кластера отделён от остальных)");
    case 1047:   // a cluster node not yet ready
        return QStringLiteral("узел кластера ещё не готов к работе");
    default:
        return {};
    }
}
QString serverText(const QSqlError &error)
{
    return error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
}
} // namespace

void TDataER::raiseConnectionError(const QSqlError &error)
{
    static const QString crlf2 = QStringLiteral("\r\n\r\n");
    static const QString middle = QStringLiteral(" поднята ошибка, с сообщением : ");
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric);
    QString message = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    if (!numeric) // not a MySQL client error: the driver itself failed (e.g. it cannot be loaded)
        throw VardexError(QStringLiteral("EDatabaseError") + middle + crlf2 + message);

    const QString why = unavailableReason(code);
    if (!why.isEmpty())
        throw ServerUnavailable(why, message);
    QString prefix;
    switch (code) {
    case 1045:
        prefix = QStringLiteral("DBConnection Error. User name or password are incorrect");
        break;
    case 1820:
    case 1862:
        prefix = QStringLiteral("DBConnection Error. User password is expired");
        break;
    case 2002: // refused TCP connection (Connector/C's number for it)
    case 2003:
    case 2005: // unknown host
    case 2006:
    case 2013:
        prefix = QStringLiteral("DBConnection Error. DBMS is not accessible due to some reason");
        break;
    default:
        prefix = QStringLiteral("DBConnection Error. UnknownMistake");
        break;
    }
    throw VardexError(prefix + crlf2 + QStringLiteral("EMySQLNativeException") + middle + message);
}

NamedQuery *TDataER::query(const QString &name) const
{
    NamedQuery *q = m_queries.value(name);
    if (!q)
        throw VardexError(QStringLiteral("Unknown query ") + name);
    return q;
}

void TDataER::SortSQL(NamedQuery *SortQuery, const QString &NameFieldSQL)
{
    const QString orderLine = QStringLiteral("ORDER BY ") + NameFieldSQL;
    SortQuery->close();
    QStringList lines = SortQuery->sql();
    if (!lines.isEmpty())
        lines.removeLast();
    lines << orderLine;
    SortQuery->setSQL(lines);
    SortQuery->open();
}

QString TDataER::Trim(const QString &text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && text[from].unicode() <= 0x20)
        ++from;
    while (to > from && text[to - 1].unicode() <= 0x20)
        --to;
    return text.mid(from, to - from);
}

QString TDataER::my_ucfirst(const QString &inSTR)
{
    auto blankOrControl = [](QChar c) { return c.unicode() <= 0x20 || c.isSpace() || c.category() == QChar::Other_Control; };
    qsizetype from = 0, to = inSTR.size();
    while (from < to && blankOrControl(inSTR[from]))
        ++from;
    while (to > from && blankOrControl(inSTR[to - 1]))
        --to;
    QString s = inSTR.mid(from, to - from);
    for (QChar &c : s)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    if (s.isEmpty())
        return s;
    s[0] = s[0].toUpper();
    const qsizetype hyphen = s.indexOf(QLatin1Char('-'));
    if (hyphen >= 0 && hyphen + 1 < s.size())
        s[hyphen + 1] = s[hyphen + 1].toUpper();
    return s;
}

bool TDataER::isPlainLogin(const QString &login)
{
    for (const char32_t c : login.toUcs4()) {
        switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return false;
        default:
            break;
        }
    }
    return true;
}

namespace {
QString downloadRoot()
{
    const QString beside = QCoreApplication::applicationDirPath();
    if (QFileInfo(beside).isWritable())
        return beside;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Vardex");
}
} // namespace

QString TDataER::downloadFolder(const QString &DirectoryName)
{
    return downloadRoot() + QDir::separator() + DirectoryName;
}

bool TDataER::DirectoryCreate(const QString &DirectoryName)
{
    const QString root = downloadRoot();
    const QString path = root + QDir::separator() + DirectoryName;
    if (QFileInfo(path).isDir())
        return true;
    if (QDir().mkpath(root) && QDir().mkdir(path))
        return true;
    throw VardexError(QStringLiteral("Невозможно создать папку ") + path);
}

void TDataER::startTransaction()
{
    QSqlDatabase db = QSqlDatabase::database(connectionName(), false);
    if (!db.transaction()) {
        if (isConnectionLoss(db.lastError())) {
            reconnect();
            if (db.transaction()) {
                m_inTransaction = true;
                return;
            }
        }
        raiseServerError(db.lastError());
    }
    m_inTransaction = true;
}

void TDataER::commit()
{
    QSqlDatabase db = QSqlDatabase::database(connectionName(), false);
    m_inTransaction = false;
    if (!db.commit()) {
        if (isConnectionLoss(db.lastError())) {
            // the commit may have reached the server before the link broke
            try {
                reconnect();
            } catch (const std::exception &) {
                throw OutcomeUnknown(false);   // and the server cannot be asked now
            }
            throw OutcomeUnknown();
        }
        raiseServerError(db.lastError());   // a conflict or a refusal at the commit: nothing was kept
    }
}

void TDataER::rollback()
{
    QSqlDatabase db = QSqlDatabase::database(connectionName(), false);
    m_inTransaction = false;
    db.rollback();
}

void TDataER::reconnect()
{
    m_inTransaction = false;   // whatever was open went with the old connection
    closeConnection(true);
    connectDB();
}

bool isConnectionLoss(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("2006") || code == QLatin1String("2013") || code == QLatin1String("2055");
}


void raiseServerError(const QSqlError &error)
{
    const int code = error.nativeErrorCode().toInt();
    if (code == 1213 || code == 1205)   // deadlock (on a cluster also a certification conflict), lock wait timeout
        throw LockConflict(error.text());
    if (code == 1062)
        throw DuplicateRow(error.text());
    const QString why = unavailableReason(code);
    if (!why.isEmpty())
        throw ServerUnavailable(why, serverText(error));
    throw VardexError(error.text());
}

QString TDataER::generatePassword(int lengthPSWD)
{
    QString result;
    for (int i = 0; i <= lengthPSWD; ++i)
        result += QChar(u'A' + QRandomGenerator::system()->bounded(26));
    return result;
}
