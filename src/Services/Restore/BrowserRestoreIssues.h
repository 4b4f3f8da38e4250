#pragma once

#include "Models/AppRestoreResult.h"
#include "Models/AppSnapshot.h"
#include "Models/TabSnapshot.h"

#include <QList>
#include <QString>
#include <QStringList>

// What of a browser's saved windows did not come back as saved, per saved window: tabs it does not
// show, an active tab it does not show active, a profile it was refused; and how that marks the
// windows' results.
class BrowserRestoreIssues {
public:
    BrowserRestoreIssues() = delete;

    // For each saved window, what of its tabs did not come back ("" when all did): saved addresses
    // the browser was not given, tabs it does not show, an active tab it does not show active.
    // With recordStopped (the browser records none of its windows), a saved window that no listed
    // window shows is not said to lack its tabs: they cannot be read (tabsUnread()).
    static QStringList tabIssues(const QList<QList<TabSnapshot>>& saved,
                                 const QList<QList<TabSnapshot>>& current, bool recordStopped = false);
    static const QString& tabsUnread();
    // Whether a saved address opened as opened is a new-tab or start page shown as the blank page
    // that stands in for it (browsers open no such page they are handed): noted as not reopened.
    static bool isBlankStandIn(const QString& saved, const QString& opened);
    // Windows that were put back with tabs missing are restored only in part; one placed whose tabs
    // cannot be read is back (tabsUnread), as far as can be told.
    static void addTabIssues(QList<WindowRestoreResult>& results, const QStringList& issues);
    // For each saved window, why its browser profile was not taken ("" when it was, or it has
    // none): such a window opens in the browser's default profile.
    static QStringList profileRefusals(const AppSnapshot& snapshot);
    // A window whose profile was refused is reported so, once, before what else held it back (it is
    // in part back when its tabs are, and counted back when it was placed too). Comes before
    // addTabIssues.
    static void addProfileRefusals(QList<WindowRestoreResult>& results, const QStringList& refusals,
                                   const QStringList& tabIssues);
};
