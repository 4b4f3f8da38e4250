#include "Support/Views/ViewHarness.h"
#include "ViewModels/PreviewBadge.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(BadgesViewTest, StatusBadgesAndTheMinimisedBadge) {
    ViewHarness ui;
    struct Case {
        PreviewBadge::Kind kind;
        const char* label;
    };
    for (const Case& c :
         {Case{PreviewBadge::Kind::Saved, "Saved"}, Case{PreviewBadge::Kind::New, "New"},
          Case{PreviewBadge::Kind::Hidden, "Hidden"}, Case{PreviewBadge::Kind::Minimized, "Minimized"}}) {
        ui.show("AppPreviewBadge", {{"kind", int(c.kind)}});
        EXPECT_EQ(ui.text("badgeLabel"), c.label);
        ui.screenshots(QStringLiteral("AppPreviewBadge-") + c.label);
    }
    ui.show("MinimizedBadge", {{"size", 1}});
    const QSizeF small = ui.root()->size();
    ui.show("MinimizedBadge", {{"size", 0}});
    EXPECT_LT(small.width(), ui.root()->width());
    EXPECT_LT(small.height(), ui.root()->height());
}

TEST(BadgesViewTest, HeaderButtonShowsItsOwnersHoverFlag) {
    ViewHarness ui;
    QQuickItem* button = ui.show("HeaderButton", {{"icon", "gearshape"}, {"isHovered", false}});
    QSignalSpy hover(button, SIGNAL(hoverChangeRequested(bool)));
    QSignalSpy clicked(button, SIGNAL(clicked()));
    ui.hover(button);
    ui.click(button);
    EXPECT_EQ(clicked.size(), 1);
    ASSERT_FALSE(hover.isEmpty());
    EXPECT_TRUE(hover.last()[0].toBool());
    button->setProperty("isHovered", true);
    ui.screenshots("HeaderButton-hovered");
}

TEST(BadgesViewTest, PermissionRowOffersGrantUntilGranted) {
    ViewHarness ui;
    const QVariantMap accessibility = {
        {"icon", "hand.raised.fill"},
        {"iconColor", QColor("#2f7cf6")},
        {"title", "Accessibility"},
        {"description", "Lets Ordella read and move the windows of other applications."},
        {"isGranted", false},
        {"isRequired", true},
        {"showBorder", true}};
    QQuickItem* row = ui.show("PermissionRow", accessibility, 440);
    QSignalSpy action(row, SIGNAL(action()));
    EXPECT_FALSE(ui.isShown("optionalTag"));
    EXPECT_TRUE(ui.isShown("grantButton"));
    EXPECT_FALSE(ui.isShown("grantedMark"));
    ui.click("grantButton");
    EXPECT_EQ(action.size(), 1);
    ui.screenshots("PermissionRow");

    QVariantMap screen = accessibility;
    screen["title"] = "Screen Recording";
    screen["description"] = "Shows thumbnails of saved windows. Ordella works without it, with plain window "
                            "cards in place of the pictures, which is fine for most people who use it daily.";
    screen["isRequired"] = false;
    screen["isGranted"] = true;
    ui.show("PermissionRow", screen, 440);
    EXPECT_TRUE(ui.isShown("optionalTag"));
    EXPECT_FALSE(ui.isShown("grantButton"));
    EXPECT_TRUE(ui.isShown("grantedMark"));
    EXPECT_EQ(ui.item("permissionDescription")->property("lineCount").toInt(), 2);
    ui.screenshots("PermissionRow-granted");
}
