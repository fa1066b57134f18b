#include "localdm/localdocument.h"

#include "localdm/libraryrows.h"
#include "localdm/localerror.h"

namespace {

struct ColumnInfo {
    const char *name;
    const char *profileColumn;
    bool excluded;
    bool settable;
};

constexpr std::array<ColumnInfo, LocalDocument::ColumnCount> Columns = {{
    {"DOCNUMBER", "DOCNUMBER", true, false},
    {"DOCNAME", "DOCNAME", false, true},
    {"AUTHOR_ID", "AUTHOR", false, true},
    {"TYPIST_ID", "TYPIST", false, true},
    {"APP_ID", "APPLICATION", false, true},
    {"ABSTRACT", "ABSTRACT", false, true},
    {"KEYWORDS", "KEYWORDS", false, true},
    {"CREATION_DATE", "CREATION_DATE", true, false},
    {"LAST_EDIT_DATE", "LAST_EDIT_DATE", true, false},
}};

const QString FolderApplication = QStringLiteral("FOLDER");

QVariant textValue(const QVariant &value)
{
    const QString text = value.isValid() ? value.toString() : QString();
    return text.isEmpty() ? QVariant() : QVariant(text);
}

} // namespace

QString LocalDocument::columnName(int column)
{
    return QString::fromLatin1(Columns.at(column).name);
}

bool LocalDocument::columnExcluded(int column)
{
    return Columns.at(column).excluded;
}

LocalDocument::LocalDocument(std::shared_ptr<LocalDm> dm, QString libraryName)
    : m_dm(std::move(dm)), m_library(std::move(libraryName))
{
}

std::shared_ptr<LocalDocument> LocalDocument::open(std::shared_ptr<LocalDm> dm, const QString &libraryName,
                                                   int docNumber)
{
    LibraryDatabase &db = dm->database(libraryName);
    const QList<QVariantList> rows = db.query(
        QStringLiteral(
            "SELECT P.SYSTEM_ID, P.DOCNUMBER, P.DOCNAME, A.USER_ID, T.USER_ID, AP.APPLICATION, "
            "P.ABSTRACT, P.KEYWORDS, P.CREATION_DATE, P.LAST_EDIT_DATE, "
            "EXISTS (SELECT 1 FROM FOLDER F WHERE F.DOCNUMBER = P.DOCNUMBER) FROM PROFILE P "
            "LEFT JOIN PEOPLE A ON A.SYSTEM_ID = P.AUTHOR LEFT JOIN PEOPLE T ON T.SYSTEM_ID = P.TYPIST "
            "LEFT JOIN APPS AP ON AP.SYSTEM_ID = P.APPLICATION WHERE P.DOCNUMBER = ?1"),
        {docNumber});
    if (rows.isEmpty())
        return nullptr;
    const QVariantList &row = rows.first();
    std::shared_ptr<LocalDocument> document(new LocalDocument(std::move(dm), db.config().name));
    document->m_systemId = row[0].toLongLong();
    document->m_docNumber = row[1].toInt();
    document->m_values[DocNumber] = document->m_docNumber;
    for (int column = DocName; column < ColumnCount; ++column)
        document->m_values[column] = textValue(row[column + 1]);
    document->m_folder = row[ColumnCount + 1].toInt() != 0;
    return document;
}

std::shared_ptr<LocalDocument> LocalDocument::newFolder(std::shared_ptr<LocalDm> dm,
                                                        const QString &libraryName)
{
    std::shared_ptr<LocalDocument> document(new LocalDocument(std::move(dm), libraryName));
    document->m_folder = true;
    return document;
}

LibraryDatabase &LocalDocument::database() const
{
    return m_dm->database(m_library);
}

QString LocalDocument::describe() const
{
    if (isNew())
        return QStringLiteral("the new folder in library %1").arg(m_library);
    return QStringLiteral("%1 #%2 in library %3")
        .arg(m_folder ? QStringLiteral("folder") : QStringLiteral("profile"))
        .arg(m_docNumber)
        .arg(m_library);
}

void LocalDocument::setValue(int column, const QVariant &value)
{
    if (!Columns.at(column).settable)
        throw LocalDmError(LocalError::ReadOnlyColumn,
                           QStringLiteral("Column %1 of %2 is kept by the DM and cannot "
                                          "be set")
                               .arg(columnName(column), describe()));
    m_values[column] = textValue(value);
    m_changed.insert(column);
}

void LocalDocument::requireRow(LibraryDatabase &db) const
{
    if (isNew())
        throw LocalDmError(LocalError::NotSaved,
                           QStringLiteral("The new folder in library %1 has not been saved").arg(m_library));
    if (!db.scalar(QStringLiteral("SELECT COUNT(*) FROM PROFILE WHERE SYSTEM_ID = ?1"), {m_systemId}).toInt())
        throw LocalDmError(
            LocalError::NoSuchDocument,
            QStringLiteral("Document #%1 no longer exists in library %2").arg(m_docNumber).arg(m_library));
}

// The value a column takes in the PROFILE row.
QVariant LocalDocument::resolved(LibraryDatabase &db, int column, qint64 typist) const
{
    const QString text = m_values[column].toString();
    switch (column) {
    case AuthorId:
    case TypistId: {
        if (text.isEmpty())
            return isNew() ? QVariant(typist) : QVariant();
        if (const auto id = LibraryRows::personId(db, text))
            return *id;
        throw LocalDmError(
            LocalError::UnknownUser,
            QStringLiteral("%1 %2 is not a user of library %3").arg(columnName(column), text, m_library));
    }
    case AppId: {
        const QString application = text.isEmpty() && m_folder ? FolderApplication : text;
        if (application.isEmpty())
            return {};
        const QVariant id =
            db.lookup(QStringLiteral("SELECT MIN(SYSTEM_ID) FROM APPS WHERE UPPER(APPLICATION) = UPPER(?1)"),
                      {application});
        if (!id.isValid())
            throw LocalDmError(
                LocalError::UnknownApplication,
                QStringLiteral("Application %1 is not known in library %2").arg(application, m_library));
        if (m_folder && application.compare(FolderApplication, Qt::CaseInsensitive) != 0)
            throw LocalDmError(
                LocalError::NotAFolderApplication,
                QStringLiteral("The application of %1 must be FOLDER, not %2").arg(describe(), text));
        return id;
    }
    default:
        return m_values[column];
    }
}

void LocalDocument::checkUniqueName(LibraryDatabase &db) const
{
    const QString name = this->name();
    if (name.isEmpty() ||
        !LibraryRows::flagOn(
            db.lookup(QStringLiteral("SELECT VALUE FROM DM_PARAMETERS WHERE UPPER(NAME) = UPPER(?1)"),
                      {QStringLiteral("DOCSParms.UniqueDocNames")})
                .toString()))
        return;
    if (db.scalar(QStringLiteral(
                      "SELECT COUNT(*) FROM PROFILE WHERE UPPER(DOCNAME) = UPPER(?1) AND SYSTEM_ID <> ?2"),
                  {name, m_systemId})
            .toInt())
        throw LocalDmError(
            LocalError::DuplicateName,
            QStringLiteral("The document name '%1' is already in use in library %2").arg(name, m_library));
}

LocalDocument::Written LocalDocument::write(LibraryDatabase &db, qint64 typist) const
{
    Written result;
    result.lastEditDate = LibraryRows::today();
    if (!isNew())
        requireRow(db);
    if (isNew() || m_changed.contains(DocName))
        checkUniqueName(db);

    if (!isNew()) {
        result.systemId = m_systemId;
        result.docNumber = m_docNumber;
        result.creationDate = m_values[CreationDate].toString();
        QStringList assignments;
        QVariantList binds;
        for (int column = DocName; column < ColumnCount; ++column) {
            if (!m_changed.contains(column))
                continue;
            binds << resolved(db, column, typist);
            assignments << QStringLiteral("%1 = ?%2")
                               .arg(QLatin1String(Columns[column].profileColumn))
                               .arg(binds.size());
        }
        binds << result.lastEditDate << m_systemId;
        assignments << QStringLiteral("LAST_EDIT_DATE = ?%1").arg(binds.size() - 1);
        db.exec(QStringLiteral("UPDATE PROFILE SET %1 WHERE SYSTEM_ID = ?%2")
                    .arg(assignments.join(QStringLiteral(", ")))
                    .arg(binds.size()),
                binds);
        return result;
    }

    result.created = true;
    result.creationDate = result.lastEditDate;
    const QVariantList values = {resolved(db, DocName, typist),  resolved(db, AuthorId, typist),
                                 resolved(db, TypistId, typist), resolved(db, AppId, typist),
                                 resolved(db, Abstract, typist), resolved(db, Keywords, typist)};
    result.systemId = db.nextNumber(QStringLiteral("PROFILE.SYSTEM_ID"));
    result.docNumber = int(db.nextNumber(QStringLiteral("PROFILE.DOCNUMBER")));
    db.exec(QStringLiteral(
                "INSERT INTO PROFILE (SYSTEM_ID, DOCNUMBER, DOCNAME, AUTHOR, TYPIST, APPLICATION, ABSTRACT, "
                "KEYWORDS, CREATION_DATE, LAST_EDIT_DATE) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?9)"),
            QVariantList{result.systemId, result.docNumber} + values + QVariantList{result.creationDate});
    db.exec(QStringLiteral("INSERT INTO SECURITY (THING, PERSONORGROUP, ACCESSRIGHTS) VALUES (?1, ?2, 255)"),
            {result.systemId, typist});
    if (m_folder)
        db.exec(QStringLiteral("INSERT INTO FOLDER (SYSTEM_ID, DOCNUMBER) VALUES (?1, ?2)"),
                {db.nextNumber(QStringLiteral("FOLDER.SYSTEM_ID")), result.docNumber});
    return result;
}

void LocalDocument::written(const Written &written)
{
    m_systemId = written.systemId;
    m_docNumber = written.docNumber;
    m_values[DocNumber] = written.docNumber;
    m_values[CreationDate] = textValue(written.creationDate);
    m_values[LastEditDate] = written.lastEditDate;
    m_changed.clear();
}

bool LocalDocument::attempt(FaultKind kind, const QString &call, const std::function<void()> &work)
{
    try {
        if (m_dm->faults().failsNow(kind))
            throw LocalDmError(
                LocalError::PlantedFault,
                QStringLiteral("%1 %2 failed: a fault was planted at this call").arg(call, describe()));
        work();
    } catch (const DmError &error) {
        m_errorNumber = error.number();
        m_errorDescription = error.description();
        return false;
    }
    m_errorNumber = 0;
    m_errorDescription.clear();
    return true;
}

bool LocalDocument::transact(FaultKind kind, const QString &call,
                             const std::function<void(LibraryDatabase &, qint64)> &work)
{
    return attempt(kind, call, [&] {
        LibraryDatabase &db = database();
        LibraryDatabase::Transaction transaction(db);
        work(db, LibraryRows::requirePerson(db, m_dm->installation().user));
        transaction.commit();
    });
}
