#pragma once

#include <QString>

#include <optional>
#include <utility>

// Why an installation step failed. The updater's own failures carry the domain "AutoUpdate" and
// one of the codes below; failures of the file system and of child processes keep their own
// domain and text. None of these texts reaches the user, who is only told that the update failed;
// they are printed as a diagnostic.
struct UpdateError {
    enum Code {
        appNotFound = 1,
        mountFailed = 3,
        mountInfoUnreadable = 4,
        mountPointMissing = 5,
        unmountFailed = 6,
        unsafeArchive = 7,
        wrongVersion = 8,
        notAnInstalledCopy = 9,
        replaceFailed = 10,
        badSignature = 11,
    };

    QString domain;
    int code = 0;
    QString description;

    static UpdateError autoUpdate(Code code, const QString& description) {
        return {QStringLiteral("AutoUpdate"), code, description};
    }
    // "AutoUpdate 3: Failed to mount DMG".
    QString text() const {
        return domain + u' ' + QString::number(code) + QStringLiteral(": ") + description;
    }
};

// The value of an installation step, or the error that stopped it.
template <typename T> class UpdateResult {
public:
    UpdateResult(T value)
        : m_value(std::move(value)) {}
    UpdateResult(UpdateError error)
        : m_error(std::move(error)) {}

    bool ok() const { return m_value.has_value(); }
    // Only meaningful when ok().
    const T& value() const { return *m_value; }
    // Only meaningful when !ok().
    const UpdateError& error() const { return m_error; }

private:
    std::optional<T> m_value;
    UpdateError m_error;
};
