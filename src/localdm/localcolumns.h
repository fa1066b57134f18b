#pragma once

#include "dmapi/dmapi.h"

class LocalDocument;

// The profile columns of one DM object, in the DM's fixed order. Each column reads and writes the
// shared object state, so a value set through a column is what the next save writes.
class LocalColumns : public DmColumns {
public:
    explicit LocalColumns(std::shared_ptr<LocalDocument> document);

    int count() const override;
    // Raises DmError for a position outside 1..count.
    std::shared_ptr<DmColumn> item(int index) const override;

private:
    std::shared_ptr<LocalDocument> m_document;
};

class LocalColumn : public DmColumn {
public:
    LocalColumn(std::shared_ptr<LocalDocument> document, int column);

    QString name() const override;
    QVariant value() const override;
    // Raises DmError for the columns the DM keeps itself; other values are checked when saved.
    void setValue(const QVariant &value) override;
    bool excluded() const override;

private:
    std::shared_ptr<LocalDocument> m_document;
    int m_column;
};
