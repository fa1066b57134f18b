#pragma once

#include "localdm/sql/sqltranslator.h"

#include <QString>
#include <QVariantList>

#include <optional>

// A statement with its literal values taken out, so that the statements the program builds from one
// template by writing numbers and texts into it share one translation and one prepared statement.
//
// The key is the statement with each literal that may become a parameter replaced by a marker: the n-th
// literal by the n-th marker, a text by a text, a number by a number. Literals whose value the translation
// or SQLite's reading of the statement depends on stay in the key as written, so two statements of one key
// differ only in values that a parameter carries unchanged; statementshape.cpp says why that holds.
class StatementShape {
public:
    explicit StatementShape(const QString &statement);

    const QString &key() const { return m_key; }
    // One value a literal at a time, in the order of the text: qint64 for a number, QString for a text.
    // Empty when the statement has no literal to take out, or must be translated as written.
    const QVariantList &values() const { return m_values; }

    // The SQL of every statement of this shape, literal n read from parameter ?n ($n on PostgreSQL); nothing
    // when the translation of the marked statement shows that it depends on more than the key, so that each
    // statement must be translated as written.
    std::optional<QString> translate(const SqlTranslator &translator) const;

private:
    QString m_key;
    QVariantList m_values;
};
