#include "App/DialogPrompts.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <qcoro/qcorosignal.h>

namespace {

int g_openCount = 0;

// Counts a dialog as open while it lives.
struct OpenDialog {
    OpenDialog() { ++g_openCount; }
    ~OpenDialog() { --g_openCount; }
    OpenDialog(const OpenDialog&) = delete;
    OpenDialog& operator=(const OpenDialog&) = delete;
};

QMessageBox::Icon iconOf(AlertRequest::Style style) {
    switch (style) {
    case AlertRequest::Style::Warning:
        return QMessageBox::Warning;
    case AlertRequest::Style::Critical:
        return QMessageBox::Critical;
    case AlertRequest::Style::Informational:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

DialogPrompts::DialogPrompts(QIcon appIcon)
    : m_appIcon(std::move(appIcon)) {
}

int DialogPrompts::openCount() {
    return g_openCount;
}

QCoro::Task<int> DialogPrompts::showAlert(AlertRequest request) {
    const OpenDialog open;
    QPointer<QMessageBox> box =
        new QMessageBox(iconOf(request.style), QStringLiteral("Ordella"), request.messageText);
    box->setInformativeText(request.informativeText);
    // Alert texts can carry names from outside (a file, an application's entry): they are shown as
    // written, never read as markup or links.
    box->setTextFormat(Qt::PlainText);
    for (const QString& name :
         {QStringLiteral("qt_msgbox_label"), QStringLiteral("qt_msgbox_informativelabel")}) {
        if (auto* label = box->findChild<QLabel*>(name)) {
            label->setTextFormat(Qt::PlainText);
            label->setOpenExternalLinks(false);
        }
    }
    if (request.iconName == QLatin1String("AppIcon") && !m_appIcon.isNull()) {
        box->setIconPixmap(m_appIcon.pixmap(64, 64));
    }
    QList<QAbstractButton*> buttons;
    const QStringList titles =
        request.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : request.buttons;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        // The first button is the default; the last of several also answers Escape.
        const QMessageBox::ButtonRole role = i == 0                   ? QMessageBox::AcceptRole
                                             : i == titles.size() - 1 ? QMessageBox::RejectRole
                                                                      : QMessageBox::ActionRole;
        buttons << box->addButton(titles.at(i), role);
    }
    box->setDefaultButton(qobject_cast<QPushButton*>(request.destructive ? buttons.last() : buttons.first()));
    box->open();
    // Deleted only after the answer was read: a deletion that came first would drop it.
    co_await qCoro(box.data(), &QMessageBox::finished);
    if (!box) {
        co_return -1;
    }
    box->deleteLater();
    co_return int(buttons.indexOf(box->clickedButton()));
}

QCoro::Task<std::optional<QString>> DialogPrompts::chooseFileToOpen(FilePanelRequest request) {
    return choose(std::move(request), false);
}

QCoro::Task<std::optional<QString>> DialogPrompts::chooseFileToSave(FilePanelRequest request) {
    return choose(std::move(request), true);
}

QCoro::Task<std::optional<QString>> DialogPrompts::choose(FilePanelRequest request, bool save) {
    const OpenDialog open;
    // Not the folder Ordella happened to be started from.
    const QString directory = request.directory.isEmpty() ? QDir::homePath() : request.directory;
    QPointer<QFileDialog> dialog = new QFileDialog(nullptr, request.title, directory);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(request.chooseDirectories ? QFileDialog::Directory
                        : save                    ? QFileDialog::AnyFile
                                                  : QFileDialog::ExistingFile);
    if (!request.allowedSuffixes.isEmpty()) {
        QStringList patterns;
        for (const QString& suffix : request.allowedSuffixes) {
            patterns << QStringLiteral("*.") + suffix;
        }
        dialog->setNameFilter(patterns.join(u' '));
        dialog->setDefaultSuffix(request.allowedSuffixes.first());
    }
    if (!request.suggestedName.isEmpty()) {
        dialog->selectFile(request.suggestedName);
    }
    if (!request.message.isEmpty()) {
        dialog->setLabelText(QFileDialog::LookIn, request.message);
    }
    dialog->open();
    const int result = co_await qCoro(dialog.data(), &QFileDialog::finished);
    if (!dialog) {
        co_return std::nullopt;
    }
    dialog->deleteLater();
    if (result != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
        co_return std::nullopt;
    }
    co_return dialog->selectedFiles().first();
}

bool DialogPrompts::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}
