#pragma once

#include "Platform/Accessibility.h"
#include "Platform/Linux/X11Monitors.h"
#include "Platform/Linux/X11Windows.h"

#include <QHash>

#include <functional>
#include <memory>
#include <optional>

class LinuxRunningApplications;

// The accessibility interface on an X11 desktop with an EWMH window manager. A window element
// is the managed client window; an application element stands for the application a process
// belongs to (all the processes of its identifier), whose "AXWindows" are their managed windows
// front to back, the minimised ones last (so a window's index says where
// it stood, which is what restoring the stacking order puts back). Position and size are the
// outer frame's, decoration included, in global coordinates whose origin is the primary monitor's
// top-left corner. A window's document is the file its process was started with, when the
// process shows that one window only. Writes are requests to the window manager: they answer at
// once, and what the manager made of them shows in the next read (it may round a size to the
// client's increments).
class LinuxAccessibility : public Accessibility {
public:
    // The file a process was started with, read from /proc (CommandLineDocument::ofProcess).
    using DocumentReader = std::function<std::optional<QString>(qint32 pid)>;

    // documentOf reads a process's document; unset, CommandLineDocument::ofProcess does.
    LinuxAccessibility(std::shared_ptr<X11Windows> windows, std::shared_ptr<X11Monitors> monitors,
                       std::shared_ptr<LinuxRunningApplications> applications,
                       DocumentReader documentOf = {});

    // Windows can be read and moved when an EWMH window manager runs.
    bool isProcessTrusted() override;
    AXElement applicationElement(qint32 pid) override;
    AXResult copyAttributeValue(AXElement element, const QString& attribute) override;
    int setAttributeValue(AXElement element, const QString& attribute, const AXValue& value) override;
    int performAction(AXElement element, const QString& action) override;
    // The windows' requests all go out before the first answer is waited for.
    void readTogether(const QList<AXElement>& elements) override;
    void readAhead(const QList<AXElement>& elements) override;

    // The subrole an accessibility client would see for a window of this type.
    static QString subroleFor(X11Client::Type type);

private:
    static constexpr quint64 ApplicationElementBase = quint64(1) << 40;
    // The windows among elements (not the applications').
    static QList<xcb_window_t> windowsAmong(const QList<AXElement>& elements);

    AXResult applicationAttribute(qint32 pid, const QString& attribute);
    AXResult windowAttribute(const X11Client& window, const QString& attribute);
    int setWindowAttribute(const X11Client& window, const QString& attribute, const AXValue& value);
    // The document of a window's process, read once per pass of the X connection.
    std::optional<QString> documentOf(qint32 pid);

    std::shared_ptr<X11Windows> m_windows;
    std::shared_ptr<X11Monitors> m_monitors;
    std::shared_ptr<LinuxRunningApplications> m_applications;
    DocumentReader m_documentReader;
    // What documentOf read in the connection's pass m_documentsPass.
    QHash<qint32, std::optional<QString>> m_documents;
    quint64 m_documentsPass = 0;
};
