#pragma once

#include "Services/Storage/AppTheme.h"

#include <QImage>
#include <QPointer>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QString>
#include <QVariantMap>

#include <memory>

// Loads one QML view of the Ordella module (qrc:/Ordella/<View>.qml) with its initial properties
// (view models made by the test, on the simulated desktop of the test's platform) in an offscreen
// window, finds its objects by objectName, drives the pointer and keys, and renders the view to
// <build>/screenshots/<name>-light.png and -dark.png. Animations are off, so every state shows at once.
//
//   ViewHarness ui;
//   ui.show("WorkspaceRowView", {{"row", QVariant::fromValue(&row)}}, 450);
//   EXPECT_EQ(ui.text("workspaceName"), "Work");
//   ui.click("restoreButton");
//   ui.screenshots("WorkspaceRowView-collapsed");
class ViewHarness {
public:
    ViewHarness();
    ~ViewHarness();
    ViewHarness(const ViewHarness&) = delete;
    ViewHarness& operator=(const ViewHarness&) = delete;

    // Creates the view with its (required) properties, in place of the one shown before; width 0
    // keeps the view's implicit width.
    // The window follows the view's implicit size. Answers nothing and fails the test on errors.
    QQuickItem* show(const QString& view, const QVariantMap& properties = {}, int width = 0);
    QQuickItem* root() const { return m_root; }
    QQuickWindow* window() const { return m_window.get(); }
    QQmlEngine& engine() { return *m_engine; }

    // The first object below the root (open popups included) with this objectName; fails the test
    // when there is none.
    QQuickItem* item(const QString& objectName) const;
    // Every such object, in tree order.
    QList<QQuickItem*> items(const QString& objectName) const;
    // Whether such an object exists at all.
    bool has(const QString& objectName) const;
    // The text of the object with this name that is visible (else the first one).
    QString text(const QString& objectName) const;
    // Visible on screen: the item and its ancestors are visible and none is fully transparent.
    bool isShown(const QString& objectName) const;

    void click(const QString& objectName);
    void click(QQuickItem* item);
    void hover(const QString& objectName);
    void hover(QQuickItem* item);
    // Moves the pointer out of the window.
    void leave();
    void pressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = QString());
    void typeText(const QString& text);

    // Lets pending events, bindings and layouts settle, and fits the window to the view (at least
    // the minimum size, so that open popovers fit in it too).
    void settle();
    void setMinimumSize(const QSize& size) { m_minimumSize = size; }
    QImage grab();
    // Renders the view in the light and in the dark theme and writes both PNG files; the theme
    // the test had stays.
    void screenshots(const QString& name);
    static void setTheme(AppTheme theme);

private:
    QQuickItem* findItem(const QString& objectName) const;

    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickWindow> m_window;
    QPointer<QQuickItem> m_root;
    int m_width = 0;
    QSize m_minimumSize;
};
