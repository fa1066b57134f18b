#pragma once

#include <QString>

#include <exception>

// A runtime error as the program reports it: number, source and description. Every failing DM call
// raises one; DM-facing procedures catch it in their error handler and hand the three parts to
// ReportError. It is the only exception type that crosses module boundaries.
class DmError : public std::exception {
public:
    DmError(qint32 number, QString source, QString description);

    qint32 number() const { return m_number; }
    QString source() const { return m_source; }
    QString description() const { return m_description; }

    const char *what() const noexcept override { return m_what.constData(); }

private:
    qint32 m_number;
    QString m_source;
    QString m_description;
    QByteArray m_what;
};
