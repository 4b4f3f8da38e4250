#pragma once

#include "Services/Update/UpdateState.h"

#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

class AutoUpdateManager;

// The rules of the settings' update card over the process's updater: the subtitle under "Check
// for Updates", the one control that fits the updater's state, the "Ready to Install" and error
// rows, and the "You're up to date!" message shown for 5 seconds after a check that found
// nothing (whoever started it). Checks started here are manual checks that show their result.
// A build without updates shows only where its updates come from, with no control.
class UpdateSectionModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool updatesEnabled READ updatesEnabled CONSTANT)
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString subtitle READ subtitle NOTIFY changed)
    Q_PROPERTY(Control control READ control NOTIFY changed)
    Q_PROPERTY(bool showsActionButton READ showsActionButton NOTIFY changed)
    Q_PROPERTY(bool showsProgressRow READ showsProgressRow NOTIFY changed)
    Q_PROPERTY(bool showsSpinner READ showsSpinner NOTIFY changed)
    Q_PROPERTY(QString actionTitle READ actionTitle NOTIFY changed)
    Q_PROPERTY(QString progressText READ progressText NOTIFY changed)
    Q_PROPERTY(bool showsReadyRow READ showsReadyRow NOTIFY changed)
    Q_PROPERTY(bool showsErrorRow READ showsErrorRow NOTIFY changed)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY changed)
    Q_PROPERTY(bool showNoUpdateMessage READ showNoUpdateMessage NOTIFY changed)

public:
    // What stands at the trailing end of the main row (nothing without updates).
    enum class Control { actionButton, progressRow, spinner, none };
    Q_ENUM(Control)

    static constexpr double noUpdateMessageSeconds = 5.0;

    explicit UpdateSectionModel(AutoUpdateManager& updater, QObject* parent = nullptr);

    // The main row of a build without updates.
    static inline const QString noUpdatesTitle = QStringLiteral("Where Updates Come From");
    static inline const QString noUpdatesSubtitle =
        QStringLiteral("Updates come from where you installed Ordella, such as your package manager.");

    UpdateState::Kind state() const;
    bool updatesEnabled() const;
    QString title() const;
    QString subtitle() const;
    Control control() const;
    bool showsActionButton() const { return control() == Control::actionButton; }
    bool showsProgressRow() const { return control() == Control::progressRow; }
    bool showsSpinner() const { return control() == Control::spinner; }
    QString actionTitle() const { return actionTitleFor(state()); }
    QString progressText() const { return progressTextFor(state()); }
    bool showsReadyRow() const;
    bool showsErrorRow() const;
    QString errorMessage() const;
    bool showNoUpdateMessage() const { return m_showNoUpdateMessage; }

    // The main row's action button: check, download, or restart into the installed update.
    Q_INVOKABLE void performAction();
    // The check of the error row's button.
    Q_INVOKABLE void checkForUpdates();
    // "Install Update" (both buttons): the update is in place already; this restarts into it.
    Q_INVOKABLE void installUpdate();
    // The rules by state, for each of the updater's states.
    static QString subtitleFor(UpdateState::Kind state, bool showNoUpdateMessage);
    static Control controlFor(UpdateState::Kind state);
    static QString actionTitleFor(UpdateState::Kind state);
    static QString progressTextFor(UpdateState::Kind state);

    // The section is shown afresh: no message, and resets scheduled before do nothing.
    void reset();

signals:
    void changed();

private:
    void stateChanged();
    QCoro::Task<void> hideNoUpdateMessageLater(int generation);

    AutoUpdateManager& m_updater;
    bool m_showNoUpdateMessage = false;
    int m_generation = 0;
};
