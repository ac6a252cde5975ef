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
