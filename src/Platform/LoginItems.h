#pragma once

#include <QString>

// The registration of the application to open when the user logs in.
class LoginItems {
public:
    enum class Status { notRegistered, enabled, requiresApproval, notFound };

    // The outcome of a registration change; error holds a human-readable reason on failure.
    struct Result {
        bool succeeded = true;
        QString error;

        static Result success() { return {}; }
        static Result failure(QString reason) { return {false, std::move(reason)}; }
    };

    virtual ~LoginItems() = default;

    virtual Status status() const = 0;
    virtual Result registerApp() = 0;
    virtual Result unregisterApp() = 0;
};
