#pragma once

#include "Services/Update/UpdateState.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <qcoro/qcorotask.h>

class AutoUpdateManager;

// The update banner of the menu-bar window: when it is raised, what it offers for each of the
// updater's states, and the dismissal that turns a version down for good. The updater does the
// work; the banner shows its state and forwards the user's clicks.
//
// The banner is raised a tenth of a second after the updater offers a version the user has not
// dismissed, or fails, unless a manual check (one started in the settings) brought it there; and
// when the window comes on screen with such a state, whoever started the check. Only dismiss()
// hides it again: a later state change only changes its trailing control.
class UpdateBannerModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isShown READ isShown NOTIFY isShownChanged)
    // "Latest Version: 2.1.0", or empty while no version was ever read.
    Q_PROPERTY(QString versionLine READ versionLine NOTIFY changed)
    Q_PROPERTY(Control control READ control NOTIFY changed)
    // The trailing control, as the view places it: a text button, a spinner with a text, or the
    // failure over a text button; none of them while checking or after a failed retry.
    Q_PROPERTY(bool showsButton READ showsButton NOTIFY changed)
    Q_PROPERTY(bool showsProgress READ showsProgress NOTIFY changed)
    Q_PROPERTY(bool showsError READ showsError NOTIFY changed)
    // The title of the text button of the button and error controls.
    Q_PROPERTY(QString buttonTitle READ buttonTitle NOTIFY changed)
    // The text beside the spinner of the progress control.
    Q_PROPERTY(QString progressText READ progressText NOTIFY changed)
    // The failure shown above "Check for Updates" in the error control.
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY changed)

public:
    // What stands at the banner's trailing end: nothing, a text button, a spinner with a text, or
    // the failure over a text button.
    enum class Control { none, button, progress, errorWithButton };
    Q_ENUM(Control)

    static constexpr double raiseDelaySeconds = 0.1;

    explicit UpdateBannerModel(AutoUpdateManager& updater, QObject* parent = nullptr);

    bool isShown() const { return m_isShown; }
    QString versionLine() const;
    Control control() const;
    bool showsButton() const { return control() == Control::button || control() == Control::errorWithButton; }
    bool showsProgress() const { return control() == Control::progress; }
    bool showsError() const { return control() == Control::errorWithButton; }
    QString buttonTitle() const;
    QString progressText() const;
    QString errorMessage() const;

    // The rules by state.
    static Control controlFor(UpdateState::Kind state);
    static QString buttonTitleFor(UpdateState::Kind state);
    static QString progressTextFor(UpdateState::Kind state);

    // The text button: "Download" downloads and installs the offered version, "Check for Updates"
    // checks again (an automatic check that shows its result), and "Install Update" restarts
    // into the update that is in place already.
    Q_INVOKABLE void performButtonAction();
    // Hides the banner and, when a version is known, never offers that version again.
    Q_INVOKABLE void dismiss();
    // The window comes on screen: raises the banner at once for an offered version that was not
    // dismissed, or for a failure.
    Q_INVOKABLE void windowAppeared();

signals:
    void isShownChanged();
    void changed();

private:
    void stateChanged();
    QCoro::Task<void> raiseLater(UpdateState::Kind kind);
    // Whether kind raises the banner now; manual checks count only when honourManual is false.
    bool raises(UpdateState::Kind kind, bool honourManualCheck) const;
    void setShown(bool shown);

    QPointer<AutoUpdateManager> m_updater;
    bool m_isShown = false;
};
