#include "dmapi/dmerror.h"

DmError::DmError(qint32 number, QString source, QString description)
    : m_number(number), m_source(std::move(source)), m_description(std::move(description)),
      m_what((QStringLiteral("#") + QString::number(m_number) + u' ' + m_source + QStringLiteral(": ") +
              m_description)
                 .toUtf8())
{
}
