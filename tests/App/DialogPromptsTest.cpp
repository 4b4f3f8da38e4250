#include "App/DialogPrompts.h"
#include "Support/TestPlatform.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

template <typename Dialog> Dialog* shown() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<Dialog*>(widget); dialog && dialog->isVisible()) {
            return dialog;
        }
    }
    return nullptr;
}

class DialogPromptsTest : public ::testing::Test {
protected:
    // Shows the alert; its answer lands in answer once a button is clicked.
    QCoro::Task<void> showAlert(AlertRequest request, std::optional<int>& answer) {
        answer = co_await prompts.showAlert(std::move(request));
    }
    // The alert on screen, once it shows.
    QMessageBox* shownBox() {
        test.clock().runUntil([] { return shown<QMessageBox>() != nullptr; });
        return shown<QMessageBox>();
    }

    TestPlatform test;
    DialogPrompts prompts;
};

TEST_F(DialogPromptsTest, AlertAnswersThePositionOfTheChosenButton) {
    AlertRequest request;
    request.messageText = "Delete?";
    request.informativeText = "It cannot be undone.";
    request.buttons = {"Delete", "Keep", "Cancel"};
    request.iconName = "AppIcon";
    std::optional<int> answer;
    QCoro::Task<void> run = showAlert(request, answer);
    QMessageBox* box = shownBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Delete?");
    EXPECT_EQ(box->informativeText(), "It cannot be undone.");
    EXPECT_EQ(DialogPrompts::openCount(), 1);
    ASSERT_EQ(box->buttons().size(), 3);
    EXPECT_EQ(box->defaultButton()->text(), "Delete");
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == "Keep") {
            button->click();
        }
    }
    ASSERT_TRUE(test.clock().runUntil([&] { return answer.has_value(); }));
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(DialogPrompts::openCount(), 0);
}

TEST_F(DialogPromptsTest, AlertTextsAreShownAsWrittenNeverAsMarkup) {
    AlertRequest request;
    request.messageText = "<b>Mail</b> & co";
    request.informativeText = "<a href=\"https://example.org\">here</a><img src=\"x.png\">";
    std::optional<int> answer;
    QCoro::Task<void> run = showAlert(request, answer);
    QMessageBox* box = shownBox();
    ASSERT_NE(box, nullptr);
    for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
        const auto* label = box->findChild<QLabel*>(name);
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << name;
        EXPECT_FALSE(label->openExternalLinks()) << name;
    }
    box->buttons().value(0)->click();
    ASSERT_TRUE(test.clock().runUntil([&] { return answer.has_value(); }));
}

TEST_F(DialogPromptsTest, ADestructiveAlertHasCancelAsItsDefault) {
    AlertRequest request;
    request.messageText = "Delete All Workspaces";
    request.buttons = {"Delete", "Cancel"};
    request.destructive = true;
    std::optional<int> answer;
    QCoro::Task<void> run = showAlert(request, answer);
    QMessageBox* box = shownBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->defaultButton()->text(), "Cancel");
    box->defaultButton()->click();
    ASSERT_TRUE(test.clock().runUntil([&] { return answer.has_value(); }));
    EXPECT_EQ(answer, 1);
}

TEST_F(DialogPromptsTest, AFilePanelWithoutAFolderOpensInTheHomeFolder) {
    std::optional<std::optional<QString>> answer;
    auto run = [](DialogPrompts& p, FilePanelRequest r,
                  std::optional<std::optional<QString>>& out) -> QCoro::Task<void> {
        out = co_await p.chooseFileToOpen(std::move(r));
    }(prompts, FilePanelRequest{}, answer);
    ASSERT_TRUE(test.clock().runUntil([] { return shown<QFileDialog>() != nullptr; }));
    QFileDialog* dialog = shown<QFileDialog>();
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(QDir::homePath()).canonicalPath());
    dialog->reject();
    ASSERT_TRUE(test.clock().runUntil([&] { return answer.has_value(); }));
}

TEST_F(DialogPromptsTest, FilePanelsAnswerThePathOrNothing) {
    QTemporaryDir folder;
    FilePanelRequest request;
    request.title = "Export";
    request.directory = folder.path();
    request.suggestedName = "Workspaces.json";
    request.allowedSuffixes = {"json"};
    for (const bool accept : {true, false}) {
        std::optional<std::optional<QString>> answer;
        auto run = [](DialogPrompts& p, FilePanelRequest r,
                      std::optional<std::optional<QString>>& out) -> QCoro::Task<void> {
            out = co_await p.chooseFileToSave(std::move(r));
        }(prompts, request, answer);
        ASSERT_TRUE(test.clock().runUntil([] { return shown<QFileDialog>() != nullptr; }));
        QFileDialog* dialog = shown<QFileDialog>();
        EXPECT_EQ(dialog->windowTitle(), "Export");
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        if (accept) {
            QMetaObject::invokeMethod(dialog, "accept");
        } else {
            dialog->reject();
        }
        ASSERT_TRUE(test.clock().runUntil([&] { return answer.has_value(); }));
        if (accept) {
            EXPECT_EQ(*answer, folder.filePath("Workspaces.json"));
        } else {
            EXPECT_EQ(*answer, std::nullopt);
        }
    }
}

} // namespace
