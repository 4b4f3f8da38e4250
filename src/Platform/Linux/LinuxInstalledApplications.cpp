// GIO first: Qt's "signals" keyword breaks its headers.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "Platform/Linux/LinuxInstalledApplications.h"

#include "Extensions/WorkerTask.h"
#include "Platform/Linux/DesktopEntries.h"

#include <qcoro/qcorofuture.h>

#include <memory>

namespace {

QString text(const char* value) {
    return value ? QString::fromUtf8(value) : QString();
}

QString iconOf(GAppInfo* info) {
    GIcon* icon = g_app_info_get_icon(info);
    if (!icon) {
        return QString();
    }
    gchar* name = g_icon_to_string(icon);
    const QString result = text(name);
    g_free(name);
    return result;
}

} // namespace

QList<InstalledApplications::Application> LinuxInstalledApplications::read() {
    QList<Application> result;
    GList* all = DesktopEntries::readable() ? g_app_info_get_all() : nullptr;
    for (GList* node = all; node; node = node->next) {
        GAppInfo* info = G_APP_INFO(node->data);
        const QString id = text(g_app_info_get_id(info));
        if (!id.isEmpty() && g_app_info_should_show(info)) {
            result.append({id, text(g_app_info_get_name(info)), iconOf(info)});
        }
    }
    g_list_free_full(all, g_object_unref);
    return result;
}

QCoro::Task<QList<InstalledApplications::Application>> LinuxInstalledApplications::applications() {
    co_return co_await WorkerTask::run(&LinuxInstalledApplications::read);
}

std::optional<QString> LinuxInstalledApplications::defaultApplicationFor(const QString& uriScheme) const {
    GAppInfo* info = DesktopEntries::readable()
                         ? g_app_info_get_default_for_uri_scheme(uriScheme.toUtf8().constData())
                         : nullptr;
    if (!info) {
        return std::nullopt;
    }
    const QString id = text(g_app_info_get_id(info));
    g_object_unref(info);
    return id.isEmpty() ? std::nullopt : std::optional<QString>(id);
}
