#include "ViewModels/UpdateBannerModel.h"

#include <gtest/gtest.h>

namespace {

using Kind = UpdateState::Kind;
using Control = UpdateBannerModel::Control;

TEST(UpdateBannerRules, EveryStateHasItsTrailingControl) {
    struct Row {
        Kind state;
        Control control;
        QString text; // the button's title, or the progress row's text
    };
    const QString check = "Check for Updates";
    const QList<Row> rows = {
        {Kind::updateAvailable, Control::button, "Download"},
        {Kind::downloading, Control::progress, "Downloading..."},
        {Kind::error, Control::errorWithButton, check},
        {Kind::failedAfterRetry, Control::none, ""},
        {Kind::idle, Control::button, check},
        {Kind::checking, Control::none, ""},
        {Kind::noUpdateAvailable, Control::button, check},
        {Kind::installing, Control::progress, "Installing..."},
        {Kind::readyToInstall, Control::button, "Install Update"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(UpdateBannerModel::controlFor(row.state), row.control) << int(row.state);
        const QString text = row.control == Control::progress ? UpdateBannerModel::progressTextFor(row.state)
                                                              : UpdateBannerModel::buttonTitleFor(row.state);
        EXPECT_EQ(text, row.text) << int(row.state);
    }
}

} // namespace
