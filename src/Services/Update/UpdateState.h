#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

#include <utility>

// Where the updater stands. A value with equality: two states are equal when they are the same
// kind with equal payloads. The views read the kind and the payload that goes with it.
class UpdateState {
    Q_GADGET
    Q_PROPERTY(Kind kind READ kind CONSTANT)
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(double progress READ progress CONSTANT)
    Q_PROPERTY(QString message READ message CONSTANT)
    Q_PROPERTY(QString downloadURL READ downloadURL CONSTANT)
public:
    enum class Kind {
        idle,
        checking,
        noUpdateAvailable,
        updateAvailable,
        downloading,
        installing,
        readyToInstall,
        error,
        failedAfterRetry
    };
    Q_ENUM(Kind)

    UpdateState() = default;
    static UpdateState idle() { return UpdateState(Kind::idle); }
    static UpdateState checking() { return UpdateState(Kind::checking); }
    static UpdateState noUpdateAvailable() { return UpdateState(Kind::noUpdateAvailable); }
    static UpdateState updateAvailable(const QString& version) {
        return UpdateState(Kind::updateAvailable, version);
    }
    // progress: the fraction of the download written so far.
    static UpdateState downloading(double progress) { return UpdateState(Kind::downloading, {}, progress); }
    static UpdateState installing() { return UpdateState(Kind::installing); }
    static UpdateState readyToInstall() { return UpdateState(Kind::readyToInstall); }
    // message: shown to the user as it stands.
    static UpdateState error(const QString& message) { return UpdateState(Kind::error, message); }
    // downloadURL: where the user can fetch the update by hand.
    static UpdateState failedAfterRetry(const QString& downloadURL) {
        return UpdateState(Kind::failedAfterRetry, downloadURL);
    }

    Kind kind() const { return m_kind; }
    // The payloads; empty (or 0) for the kinds that do not carry them.
    QString version() const { return m_kind == Kind::updateAvailable ? m_text : QString(); }
    double progress() const { return m_progress; }
    QString message() const { return m_kind == Kind::error ? m_text : QString(); }
    QString downloadURL() const { return m_kind == Kind::failedAfterRetry ? m_text : QString(); }

    bool operator==(const UpdateState& other) const = default;

    // "updateAvailable(2.1.0)", "downloading(0.5)", "idle": for diagnostics and test failures.
    QString description() const;

private:
    explicit UpdateState(Kind kind, QString text = {}, double progress = 0)
        : m_kind(kind)
        , m_text(std::move(text))
        , m_progress(progress) {}

    Kind m_kind = Kind::idle;
    QString m_text;
    double m_progress = 0;
};

Q_DECLARE_METATYPE(UpdateState)
