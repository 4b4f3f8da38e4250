#pragma once

#include "Platform/LoginItems.h"

#include <optional>

// An in-memory login-item registration. Registration changes can be made to fail, and the status
// reported after a failure can be scripted (a service that half-registered, or needs approval).
class SimulatedLoginItems : public LoginItems {
public:
    Status currentStatus = Status::notRegistered;
    bool failRegister = false;
    bool failUnregister = false;
    // When set, a failed change leaves the registration in this state.
    std::optional<Status> statusAfterFailure;
    int registerCalls = 0;
    int unregisterCalls = 0;

    Status status() const override { return currentStatus; }
    Result registerApp() override;
    Result unregisterApp() override;

private:
    Result change(bool fail, Status onSuccess);
};
