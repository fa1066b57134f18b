#pragma once

#include <QString>

#include <functional>
#include <memory>

// One library's part of the move lock where it cannot be a lock file beside the library's database file
// (a library on a server). The DM that knows where the library lies implements it; the move lock takes it
// in one order with the lock files. One object is one taker: two objects of the same place meet each
// other as two processes would. Taking never waits. Not for use from several threads.
class LibraryLock {
public:
    enum class Mode { Exclusive, Shared };
    // What an exclusive holder leaves for those refused, as a lock file keeps it.
    struct Holder {
        qint64 process = 0; // 0: nothing was left
        QString host;
        QString user;
        QString since;
        QString command;
    };
    struct Taking {
        enum class Outcome { Locked, Busy, Failed } outcome = Outcome::Failed;
        // Locked: what a holder that ended without clearing it left under the free lock. Busy: the
        // exclusive holder's details.
        Holder holder = {};
        bool sharedOnly = false; // Busy: every holder only shares it
        // Busy: the lock's place as a user reads it; Failed: why, naming the library and where it lies.
        QString said = {};
    };

    virtual ~LibraryLock() = default;
    // Sorts the lock among an installation's others; two libraries of one place meet one lock.
    virtual QString place() const = 0;
    // Whatever the outcome, nothing is held after Busy or Failed.
    virtual Taking take(Mode mode) = 0;
    // After an exclusive Locked. The details are for messages only: a lock whose details cannot be
    // written holds all the same.
    virtual void leave(const Holder &holder) = 0;
    // After Locked: empty while the lock is still held; else why it is not, naming the library and where
    // it lies. A lock that the server keeps for a session is held as long as that session answers, which
    // costs one round trip.
    virtual QString lost() = 0;
    // Clears the details left and ends the hold; nothing when nothing is held.
    virtual void release() = 0;
};

// Makes a new taker of one library's lock for each move lock.
using LibraryLockMaker = std::function<std::unique_ptr<LibraryLock>()>;
