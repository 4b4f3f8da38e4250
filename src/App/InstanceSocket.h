#pragma once

#include "Platform/Clock.h"

#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

#include <sys/types.h>

class QLocalSocket;

// What both ends of the instance socket share: waiting for the socket's next news without ever
// blocking the event loop, and telling who is at the other end.
class InstanceSocket {
public:
    // Resumes, from the event loop, once the socket has news (bytes arrived or written, a change
    // of state, an error, its end) or when deadline has come; false at the deadline.
    static QCoro::Task<bool> nextEvent(QLocalSocket* socket, Clock& clock, Clock::TimePoint deadline);

    // The user id of the process at the other end of a connected socket; nothing when the system
    // does not say.
    static std::optional<uid_t> peerUser(const QLocalSocket& socket);
    // Whether the other end runs as this process's own user.
    static bool peerIsThisUser(const QLocalSocket& socket);
    // Whether the other end has closed the connection (not only its own sending side): nobody is
    // left to read an answer.
    static bool peerHasHungUp(const QLocalSocket& socket);
    // Removes the file at path when it is a socket of this user on which nobody listens; anything
    // else (a file, a folder, another user's socket, one that answers) stays.
    static void removeIfDeadSocketOfThisUser(const QString& path);
};
