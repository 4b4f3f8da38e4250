#include "Platform/Simulated/SimulatedLoginItems.h"

LoginItems::Result SimulatedLoginItems::registerApp() {
    ++registerCalls;
    return change(failRegister, Status::enabled);
}

LoginItems::Result SimulatedLoginItems::unregisterApp() {
    ++unregisterCalls;
    return change(failUnregister, Status::notRegistered);
}

LoginItems::Result SimulatedLoginItems::change(bool fail, Status onSuccess) {
    if (fail) {
        if (statusAfterFailure) {
            currentStatus = *statusAfterFailure;
        }
        return Result::failure(QStringLiteral("The login item service refused the change"));
    }
    currentStatus = onSuccess;
    return Result::success();
}
