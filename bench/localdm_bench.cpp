// Times the local DM: creating the large demo installation, and statements per second for a SELECT
// by key and a single-row UPDATE (each its own transaction, as the program's statements are), straight
// through LibraryDatabase and through the SQL pass-through. Usage: localdm_bench [SECONDS per figure, default
// 2]
#include "localdm/installation.h"
#include "localdm/localapplication.h"
#include "localdm/sql/localsql.h"
#include "localdm/store/librarydatabase.h"
#include "localdm/tools/demoinstallation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>

namespace {

QTextStream out(stdout);

// Runs statement(i) for i = 0, 1, ... until the time is up and prints the rate.
void measureRate(const QString &name, double seconds, const std::function<void(qint64)> &statement)
{
    QElapsedTimer timer;
    timer.start();
    qint64 count = 0;
    while (count % 64 != 0 || timer.nsecsElapsed() < qint64(seconds * 1e9))
        statement(count++);
    const double elapsed = double(timer.nsecsElapsed()) / 1e9;
    out << QStringLiteral("%1: %2 statements/s (%3 in %4 s)")
               .arg(name)
               .arg(double(count) / elapsed, 0, 'f', 0)
               .arg(count)
               .arg(elapsed, 0, 'f', 2)
        << Qt::endl;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 2.0;
    if (seconds <= 0) {
        QTextStream(stderr) << "usage: localdm_bench [SECONDS]" << Qt::endl;
        return 2;
    }
    QTemporaryDir dir;

    QElapsedTimer timer;
    timer.start();
    const Installation installation =
        Installation::load(CreateDemoInstallation(dir.path(), DemoSize::Large, QStringLiteral("BENCH")));
    out << QStringLiteral("init-demo --size large: %1 s").arg(double(timer.nsecsElapsed()) / 1e9, 0, 'f', 2)
        << Qt::endl;

    const std::unique_ptr<LibraryDatabase> opened =
        LibraryDatabase::open(*installation.library(installation.currentLibrary));
    LibraryDatabase &db = *opened;
    QList<qint64> keys;
    for (const QVariantList &row :
         db.query(QStringLiteral("SELECT DOCNUMBER FROM PROFILE ORDER BY SYSTEM_ID")))
        keys << row[0].toLongLong();
    // Stride through the keys so that consecutive statements do not touch neighbouring rows.
    auto key = [&](qint64 i) { return keys[(i * 7919) % keys.size()]; };

    measureRate(QStringLiteral("LibraryDatabase SELECT by key"), seconds, [&](qint64 i) {
        db.scalar(QStringLiteral("SELECT DOCNAME FROM PROFILE WHERE DOCNUMBER = ?1"), {key(i)});
    });
    measureRate(QStringLiteral("LibraryDatabase single-row UPDATE"), seconds, [&](qint64 i) {
        db.exec(QStringLiteral("UPDATE PROFILE SET LAST_EDIT_DATE = ?1 WHERE DOCNUMBER = ?2"),
                {QStringLiteral("2026-01-%1").arg(i % 28 + 1, 2, 10, QChar(u'0')), key(i)});
    });

    // The same two statements as the program sends them, through the SQL pass-through: translation
    // for the library's personality included.
    auto dm = std::make_shared<LocalDm>(installation);
    LocalSql pass(dm);
    pass.setSecurityToken(LocalApplication(dm).securityToken());
    pass.setLibrary(installation.currentLibrary);
    const QString owner = installation.library(installation.currentLibrary)->owner;
    measureRate(QStringLiteral("SQL pass-through SELECT by key"), seconds, [&](qint64 i) {
        pass.execute(QStringLiteral("SELECT DOCNAME FROM %1.PROFILE WHERE DOCNUMBER = %2 OPTION (MAXDOP 1)")
                         .arg(owner)
                         .arg(key(i)));
    });
    measureRate(QStringLiteral("SQL pass-through single-row UPDATE"), seconds, [&](qint64 i) {
        pass.execute(
            QStringLiteral("UPDATE %1.PROFILE SET LAST_EDIT_DATE = '2026-01-%2' WHERE DOCNUMBER = %3")
                .arg(owner)
                .arg(i % 28 + 1, 2, 10, QChar(u'0'))
                .arg(key(i)));
    });
    return 0;
}
