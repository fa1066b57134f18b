#include "migrate/foldersteps.h"

#include "dm/fusion.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "settings/leadingnumber.h"

bool FolderStepMayStart(DmContext &dm, const QString &procedureName)
{
    if (!CheckFusion(dm, procedureName))
        return false;
    if (dm.session.currentLibrary)
        return true;
    dm.log.WriteLog(QStringLiteral("Error: Library object not set - cannot continue"));
    dm.log.WriteDashLine();
    return false;
}

QString NumberText(int number)
{
    return QString::number(number);
}

QString DmErrorLine(qint32 number, const QString &description)
{
    return QStringLiteral("Error: (") + QString::number(number) + QStringLiteral(") - ") + description;
}

bool LibraryFlag(const DmLibrary &library, const QString &name)
{
    const std::shared_ptr<DmProperties> properties = library.properties();
    const std::shared_ptr<DmProperty> property = properties ? properties->item(name) : nullptr;
    return property && property->value().toBool();
}

QString TwinKey(DmLibrary &target, const QString &name)
{
    return target.nameKey(name.trimmed());
}

QString WithCause(const QString &message, const QString &cause)
{
    return cause.isEmpty() ? message : message + u'\n' + cause;
}

QString LostLibraryLine(const QString &what, const QString &cause)
{
    return QStringLiteral("Error: ") + what + QStringLiteral(": ") + cause;
}

std::shared_ptr<DmLibrary> FindLibrary(const DmSession &session, const QString &libraryName)
{
    if (!session.libraries)
        return nullptr;
    const int count = session.libraries->count();
    for (int i = 1; i <= count; ++i) {
        std::shared_ptr<DmLibrary> library = session.libraries->item(i);
        if (library && library->name().compare(libraryName, Qt::CaseInsensitive) == 0)
            return library;
    }
    return nullptr;
}

QString UnknownLibraryText(const DmSession &session, const QString &libraryName)
{
    QStringList names;
    const int count = session.libraries ? session.libraries->count() : 0;
    for (int i = 1; i <= count; ++i)
        if (const std::shared_ptr<DmLibrary> library = session.libraries->item(i))
            names << library->name();
    return libraryName + QStringLiteral(" is not a library of this DM installation (its libraries: ") +
           names.join(QStringLiteral(", ")) + u')';
}

void ReleaseSharedSlots(DmSession &session)
{
    if (session.sharedProfile) {
        try {
            session.sharedProfile->close();
        } catch (const DmError &) {
            // The slot is emptied whatever the DM says: the next procedure must find it empty.
        }
        session.sharedProfile.reset();
    }
    session.sharedFolder.reset();
}

bool CommitChanges(DmContext &dm)
{
    if (!IsOracle(dm.session.sql.engineCode()))
        return true;
    const SqlRows committed = QueryRows(dm, QStringLiteral("COMMIT"));
    if (!committed.failed())
        return true;
    dm.log.WriteLog(QStringLiteral("Error: Unable to commit the changes in library ") +
                    dm.session.sql.library() + QStringLiteral(": ") + committed.errorText());
    return false;
}

QString Quoted(const QString &name)
{
    return u'"' + name + u'"';
}

QString ItemText(const QString &kind, int number, const QString &name, const QString &library)
{
    return kind + QStringLiteral(" #") + NumberText(number) + u' ' + Quoted(name) +
           QStringLiteral(" of library ") + (library.isEmpty() ? QStringLiteral("(unknown)") : library);
}

void RaiseCounter(WindowSeam &window, MoveCounter which)
{
    window.setCounter(which, NumberText(leadingInt32(window.counter(which)) + 1));
}

QString NoFolderRightsLine(const DmLibrary &library)
{
    return QStringLiteral("Error: ") + library.userId() +
           QStringLiteral(" does not have rights to manage folders in library ") + library.name();
}
