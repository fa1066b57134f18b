#include "browse/foldertags.h"

#include "settings/leadingnumber.h"

QString LibraryTag(const QString &libraryName)
{
    return QStringLiteral("LIB:") + libraryName;
}

QString PublicTag()
{
    return QStringLiteral("FL:0");
}

QString SharedTag()
{
    return QStringLiteral("FL:-1");
}

QString FolderTag(qint32 documentNumber)
{
    return QStringLiteral("FL: ") + QString::number(documentNumber);
}

qint32 FolderNumber(const QString &tag)
{
    const qsizetype colon = tag.indexOf(u':');
    return leadingInt32(colon < 0 ? QStringView(tag) : QStringView(tag).mid(colon + 1));
}

QString PlaceholderText()
{
    return QStringLiteral("[]");
}
