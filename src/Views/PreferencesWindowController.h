#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class PreferencesViewModel;
class QQmlEngine;
class QQuickView;
class WorkspaceStore;

// The settings window: "Settings", 620 by 420 and neither resizable nor minimisable, showing the
// PreferencesView of its own model. Closing it (its close button, or Escape) hides it; the window
// lives as long as its controller. The model hears when the window comes on screen and when it leaves.
class PreferencesWindowController : public QObject {
    Q_OBJECT
public:
    static constexpr int width = 620;
    static constexpr int height = 420;

    PreferencesWindowController(QQmlEngine& engine, std::unique_ptr<PreferencesViewModel> model,
                                QObject* parent = nullptr);
    ~PreferencesWindowController() override;

    // The controller that opened last, while it exists.
    static PreferencesWindowController* shared() { return s_shared; }

    // What the menu-bar window's gear button does: closes the settings window it opened before
    // (held in holder) and opens a fresh one, centred and in front, with the General tab.
    static PreferencesWindowController& showPreferences(QQmlEngine& engine, WorkspaceStore& store,
                                                        std::unique_ptr<PreferencesWindowController>& holder);

    // Centres the window on its screen, shows it in front and activates it.
    void showWindow();
    void close();

    QQuickView& window() const { return *m_window; }
    PreferencesViewModel& model() const { return *m_model; }

private:
    static QPointer<PreferencesWindowController> s_shared;

    std::unique_ptr<PreferencesViewModel> m_model;
    std::unique_ptr<QQuickView> m_window;
};
