#pragma once

#include "Platform/RunningApplications.h"

#include <QStringList>

#include <memory>

#include <qcoro/qcorotask.h>

class RestoreRequest;

// Hands a running application the documents it does not show, tried again until it shows them,
// then waits (3 seconds at most) for it to list a window. A document the desktop took is not
// handed again: its window may come seconds later (a program that starts a process for it, on a
// busy machine), and a second hand-over would show it twice. An attempt after the first waits for
// the answer to the last hand-over instead, up to the readiness wait after it, and hands again only
// what the desktop refused to take. What was handed is noted in the restore request.
class HandedDocuments {
public:
    HandedDocuments() = delete;

    static QCoro::Task<void> handOver(RunningApplication app, QStringList documents,
                                      std::shared_ptr<RestoreRequest> request);
};
