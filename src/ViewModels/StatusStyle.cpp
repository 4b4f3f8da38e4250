#include "ViewModels/StatusStyle.h"

#include "ViewModels/StatusTexts.h"

StatusStyle StatusStyle::forMessage(const std::optional<QString>& message) {
    if (!message) {
        return {QStringLiteral("secondary"), QString(), false};
    }
    const QString& text = *message;
    const QString done = QStringLiteral("checkmark.circle.fill");
    const QString problem = QStringLiteral("exclamationmark.circle.fill");
    if (text == StatusTexts::saved || text == StatusTexts::reverted || text == StatusTexts::nothingToRevert) {
        return {QStringLiteral("green"), done, false};
    }
    if (text == StatusTexts::restored || text == StatusTexts::updated) {
        return {QStringLiteral("green"), done, true};
    }
    if (text == StatusTexts::captureFailed || text == StatusTexts::writeFailed ||
        text == StatusTexts::deleteFailed || text == StatusTexts::restoreFailed ||
        text == StatusTexts::revertFailed) {
        return {QStringLiteral("red"), problem, false};
    }
    if (text.contains(QStringLiteral("Partially"))) {
        return {QStringLiteral("orange"), QStringLiteral("exclamationmark.triangle.fill"), true};
    }
    if (text == StatusTexts::cancelled) {
        return {QStringLiteral("orange"), QStringLiteral("xmark.circle.fill"), false};
    }
    if (text == StatusTexts::reverting) {
        return {QStringLiteral("purple"), QStringLiteral("arrow.uturn.backward.circle.fill"), false};
    }
    return {QStringLiteral("blue"), QStringLiteral("arrow.triangle.2.circlepath"), false};
}
