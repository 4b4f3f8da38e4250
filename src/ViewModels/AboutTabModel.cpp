#include "ViewModels/AboutTabModel.h"

#include "Platform/Platform.h"
#include "Platform/Prompts.h"
#include "Platform/SystemInfo.h"

#include <QFile>
#include <QUrl>

namespace {

const QString kEmDash = QStringLiteral("\u2014");

} // namespace

QString AboutTabModel::appVersion() {
    const std::shared_ptr<SystemInfo> system = Platform::current().systemInfo;
    return (system ? system->appVersion() : std::nullopt).value_or(kEmDash);
}

QString AboutTabModel::buildNumber() {
    const std::shared_ptr<SystemInfo> system = Platform::current().systemInfo;
    return (system ? system->appBuild() : std::nullopt).value_or(kEmDash);
}

QString AboutTabModel::notice() {
    return QStringLiteral("Save your desktop as a workspace and bring it back in one click.");
}

QString AboutTabModel::websiteURL() {
    return QStringLiteral(ORDELLA_PRODUCT_PAGE_URL);
}

QString AboutTabModel::websiteHost() {
    return QUrl(websiteURL()).host();
}

QString AboutTabModel::appIconSource() {
    return QFile::exists(QStringLiteral(":/Ordella/AppIcon.svg")) ? QStringLiteral("qrc:/Ordella/AppIcon.svg")
                                                                  : QString();
}

void AboutTabModel::openWebsite() {
    const QUrl url(websiteURL(), QUrl::StrictMode);
    if (const std::shared_ptr<Prompts> prompts = Platform::current().prompts; prompts && url.isValid()) {
        prompts->openUrl(url);
    }
}
