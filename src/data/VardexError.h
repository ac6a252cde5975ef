#pragma once
#include <QByteArray>
#include <QString>
#include <exception>

// The one error type the program raises. Commands let it escape to the command wrapper, which
// shows message() in the top-level error box.
class VardexError : public std::exception {
public:
    explicit VardexError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// The connection dropped while a command was changing data; it has been opened again, nothing of
// the command was kept, and the command can be repeated.
class ConnectionRestored : public VardexError {
public:
    ConnectionRestored()
        : VardexError(QStringLiteral("Связь с сервером базы данных была прервана и восстановлена. Изменения не сохранены, "
                                     "повторите команду."))
    {
    }
};

// The connection dropped while a commit or a single-statement write was on its way: the server
// may or may not have done it. Raised only where the caller cannot look; data operations that
// can look catch it and find out.
// `restored` is false when the server could not be reached again to look.
class OutcomeUnknown : public VardexError {
public:
    explicit OutcomeUnknown(bool restored = true)
        : VardexError(restored ? QStringLiteral("Связь с сервером базы данных была прервана и восстановлена. Неизвестно, "
                                                "сохранены ли изменения: откройте окно заново и проверьте.")
                               : QStringLiteral("Связь с сервером базы данных прервана. Неизвестно, сохранены ли изменения: "
                                                "когда связь восстановится, откройте окно заново и проверьте."))
    {
    }
};

// The server gave this transaction up to let another go on (a deadlock, or a lock waited for too
// long): nothing of it was kept, and it may be run again. Operations that can, do.
class LockConflict : public VardexError {
public:
    using VardexError::VardexError;
};

// A row the table's unique key already holds (1062): written before by another workstation.
class DuplicateRow : public VardexError {
public:
    using VardexError::VardexError;
};

// The server took nothing and cannot take work now: a cluster node cut off from the others
// (1180 at the commit) or not yet ready (1047), or every connection taken (1040, 1203). Nothing of
// the command was kept; the other network may reach a server that can.
class ServerUnavailable : public VardexError {
public:
    explicit ServerUnavailable(const QString &why, const QString &serverText)
        : VardexError(QStringLiteral("Сервер базы данных сейчас не может принять работу: %1. Ничего не сохранено. "
                                     "Повторите позже или выберите другую сеть (Пользователь → Выбор сети).\r\n\r\n"
                                     "Ответ сервера: %2")
                          .arg(why, serverText))
    {
    }
};

// A command's own failure message, with the reason added when the reason is worth telling the
// user (the connection was lost and restored).
inline QString withReason(const QString &message, const std::exception &e)
{
    if (const auto *restored = dynamic_cast<const ConnectionRestored *>(&e))
        return message + QStringLiteral("\n\r") + restored->message();
    if (const auto *unknown = dynamic_cast<const OutcomeUnknown *>(&e))
        return message + QStringLiteral("\n\r") + unknown->message();
    if (const auto *away = dynamic_cast<const ServerUnavailable *>(&e))
        return message + QStringLiteral("\n\r") + away->message();
    return message;
}
