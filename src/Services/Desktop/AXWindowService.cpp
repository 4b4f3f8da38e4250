#include "Services/Desktop/AXWindowService.h"

#include "Extensions/NumberConversion.h"
#include "Extensions/RectConversion.h"
#include "Platform/Diagnostics.h"
#include "Platform/Platform.h"
#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/DisplayMapper.h"

#include <QUuid>

#include <algorithm>

namespace {

QString orNil(const std::optional<QString>& value) {
    return value.value_or(QStringLiteral("nil"));
}

// The window at index, when index is a position in the list.
std::optional<AXElement> windowAt(const QList<AXElement>& windows, qint64 index) {
    if (index < 0 || index >= windows.size()) {
        return std::nullopt;
    }
    return windows[index];
}

void makeMainAndRaise(AXElement window) {
    AXAttributeReader::write(window, QStringLiteral("AXMain"), AXValue::boolean(true));
    AXAttributeReader::write(window, QStringLiteral("AXFocused"), AXValue::boolean(true));
    AXAttributeReader::perform(window, QStringLiteral("AXRaise"));
}

} // namespace

std::optional<AXElement> AXWindowService::axApplication(const RunningApplication& app) {
    const AXElement element = AXAttributeReader::applicationElement(app.processIdentifier);
    if (element.isNull()) {
        return std::nullopt;
    }
    // A process without windows answers "no value": it is reachable all the same.
    const int error = AXAttributeReader::read(element, QStringLiteral("AXWindows")).error;
    if (error != AXError::Success && error != AXError::NoValue) {
        return std::nullopt;
    }
    return element;
}

std::optional<QList<AXElement>> AXWindowService::axWindowList(const RunningApplication& app) {
    const std::optional<AXElement> element = axApplication(app);
    return element ? AXAttributeReader::windowList(*element) : std::nullopt;
}

std::optional<QRectF> AXWindowService::windowFrame(AXElement window) {
    const AXAttributeReader::FrameReading reading = AXAttributeReader::frame(window);
    if (reading.unexpectedTypes) {
        Diagnostics::print(
            QStringLiteral(
                "[AXWindowService.windowFrame] Unexpected AX value types — pos typeID: %1, size typeID: %2")
                .arg(QString::number(reading.unexpectedTypes->first),
                     QString::number(reading.unexpectedTypes->second)));
    }
    return reading.frame;
}

bool AXWindowService::isMinimized(AXElement window) {
    return AXAttributeReader::boolean(window, QStringLiteral("AXMinimized"));
}

void AXWindowService::readTogether(const QList<AXElement>& windows) {
    if (const std::shared_ptr<Accessibility> ax = Platform::current().accessibility) {
        ax->readTogether(windows);
    }
}

void AXWindowService::readAhead(const QList<AXElement>& windows) {
    if (const std::shared_ptr<Accessibility> ax = Platform::current().accessibility) {
        ax->readAhead(windows);
    }
}

bool AXWindowService::allMovedFrom(const QList<std::pair<AXElement, std::optional<QRectF>>>& windows) {
    QList<AXElement> read;
    for (const auto& w : windows) {
        read.append(w.first);
    }
    readTogether(read);
    return std::all_of(windows.cbegin(), windows.cend(), [](const auto& w) {
        const std::optional<QRectF> now = windowFrame(w.first);
        return now && (!w.second || now->toRect() != w.second->toRect());
    });
}

bool AXWindowService::isFullScreen(AXElement window) {
    return AXAttributeReader::boolean(window, QStringLiteral("AXFullScreen"));
}

std::optional<QString> AXWindowService::displayUUIDForWindow(const QRectF& frame) {
    const auto& port = Platform::current().screens;
    const QList<Screen> screens = port ? port->screens() : QList<Screen>();
    if (screens.isEmpty()) {
        return std::nullopt;
    }
    const double h = screens.first().frame.height();
    const QPointF probe(frame.center().x(), h - frame.center().y());
    for (const Screen& screen : screens) {
        if (!DisplayMapper::containsPoint(screen.frame, probe)) {
            continue;
        }
        // A screen without a number or an identity is passed over; a later one may answer.
        if (const auto identity = DisplayMapper::identityString(screen)) {
            return identity;
        }
    }
    return std::nullopt;
}

QList<WindowSnapshot> AXWindowService::captureWindows(const RunningApplication& app) {
    const std::optional<QList<AXElement>> windows = axWindowList(app);
    QList<WindowSnapshot> result;
    if (!windows) {
        return result;
    }
    for (qsizetype i = 0; i < windows->size(); ++i) {
        const AXElement window = windows->at(i);
        const std::optional<QRectF> frame = windowFrame(window);
        if (!frame || frame->width() < 50 || frame->height() < 50) {
            continue;
        }
        WindowSnapshot snapshot;
        snapshot.id = QUuid::createUuid();
        snapshot.frame = RectConversion::toSnapshotRect(*frame);
        snapshot.displayUUID = displayUUIDForWindow(*frame);
        snapshot.windowTitle = AXAttributeReader::string(window, QStringLiteral("AXTitle"));
        snapshot.windowIndex = i;
        snapshot.documentURL = AXAttributeReader::string(window, QStringLiteral("AXDocument"));
        snapshot.isMinimized = isMinimized(window);
        // Where there are several virtual desktops, every window keeps its own (one on all keeps none).
        if (const AXResult space = AXAttributeReader::read(window, AXName::SpaceIndex); space.succeeded()) {
            if (const std::optional<double> desktop = space.value.toNumber();
                desktop && *desktop >= 0 && *desktop < 0xFFFFFFFF) {
                snapshot.spaceIndex = NumberConversion::toInt64(*desktop);
            }
        }
        if (const std::optional<QString> identity =
                AXAttributeReader::string(window, AXName::WindowIdentity)) {
            snapshot.windowIdentity = WindowIdentity::fromText(*identity);
        }
        result.append(snapshot);
    }
    return result;
}

bool AXWindowService::setWindowFrame(AXElement window, const QRectF& frame) {
    // A coordinate that is not a number cannot be wrapped into a value the window would take.
    if (!RectConversion::isFinite(frame)) {
        Diagnostics::print(QStringLiteral("[AXWindowService.setWindowFrame] Failed to create AXValue"));
        return false;
    }
    const int posResult =
        AXAttributeReader::write(window, QStringLiteral("AXPosition"), AXValue::point(frame.topLeft()));
    const int sizeResult =
        AXAttributeReader::write(window, QStringLiteral("AXSize"), AXValue::size(frame.size()));
    if (posResult == AXError::Success && sizeResult == AXError::Success) {
        return true;
    }
    Diagnostics::print(QStringLiteral("[AXWindowService.setWindowFrame] FAILED — posResult=%1, sizeResult=%2")
                           .arg(QString::number(posResult), QString::number(sizeResult)));
    Diagnostics::print(
        QStringLiteral("[AXWindowService.setWindowFrame] Window info — title=%1, role=%2, subrole=%3")
            .arg(orNil(AXAttributeReader::string(window, QStringLiteral("AXTitle"))),
                 orNil(AXAttributeReader::string(window, QStringLiteral("AXRole"))),
                 orNil(AXAttributeReader::string(window, QStringLiteral("AXSubrole")))));
    return false;
}

bool AXWindowService::restoreWindow(const RunningApplication& app, qint64 windowIndex, const QRectF& frame) {
    const qint32 pid = app.processIdentifier;
    const std::optional<AXElement> element = axApplication(app);
    if (!element) {
        Diagnostics::print(
            QStringLiteral("[AXWindowService.restoreWindow] Cannot get AX app for pid=%1").arg(pid));
        return false;
    }
    const std::optional<QList<AXElement>> windows = AXAttributeReader::windowList(*element);
    if (!windows) {
        Diagnostics::print(
            QStringLiteral("[AXWindowService.restoreWindow] Cannot get window list for pid=%1").arg(pid));
        return false;
    }
    Diagnostics::print(
        QStringLiteral("[AXWindowService.restoreWindow] pid=%1, windowList.count=%2, requested index=%3")
            .arg(QString::number(pid), QString::number(windows->size()), QString::number(windowIndex)));
    const std::optional<AXElement> window = windowAt(*windows, windowIndex);
    if (!window) {
        Diagnostics::print(
            QStringLiteral("[AXWindowService.restoreWindow] Window index %1 out of bounds (%2 windows)")
                .arg(QString::number(windowIndex), QString::number(windows->size())));
        return false;
    }
    return restoreWindow(*window, frame);
}

bool AXWindowService::restoreWindow(AXElement window, const QRectF& frame) {
    makeMainAndRaise(window);
    return setWindowFrame(window, frame);
}

void AXWindowService::raiseWindow(const RunningApplication& app, qint64 windowIndex) {
    const std::optional<QList<AXElement>> windows = axWindowList(app);
    if (!windows) {
        return;
    }
    if (const std::optional<AXElement> window = windowAt(*windows, windowIndex)) {
        makeMainAndRaise(*window);
    }
}

QList<QRectF> AXWindowService::currentWindowFrames(const RunningApplication& app) {
    QList<QRectF> result;
    for (const AXElement& window : axWindowList(app).value_or(QList<AXElement>())) {
        if (const std::optional<QRectF> frame = windowFrame(window)) {
            result.append(*frame);
        }
    }
    return result;
}

QStringList AXWindowService::currentWindowTitles(const RunningApplication& app) {
    QStringList result;
    for (const AXElement& window : axWindowList(app).value_or(QList<AXElement>())) {
        result.append(AXAttributeReader::string(window, QStringLiteral("AXTitle")).value_or(QString()));
    }
    return result;
}

bool AXWindowService::hasOnlyTransientWindows(const RunningApplication& app) {
    const QList<AXElement> windows = axWindowList(app).value_or(QList<AXElement>());
    if (windows.isEmpty()) {
        return false;
    }
    for (const AXElement& window : windows) {
        if (AXAttributeReader::string(window, QStringLiteral("AXSubrole")) ==
            QStringLiteral("AXStandardWindow")) {
            return false;
        }
    }
    return true;
}

QStringList AXWindowService::currentDocumentURLs(const RunningApplication& app) {
    QStringList result;
    for (const AXElement& window : axWindowList(app).value_or(QList<AXElement>())) {
        if (const std::optional<QString> document =
                AXAttributeReader::string(window, QStringLiteral("AXDocument"))) {
            result.append(*document);
        }
    }
    return result;
}

bool AXWindowService::writeFlag(AXElement window, const QString& attribute, bool value,
                                const QString& operation) {
    const int result = AXAttributeReader::write(window, attribute, AXValue::boolean(value));
    if (result != AXError::Success) {
        Diagnostics::print(QStringLiteral("[AXWindowService.%1] Failed with result: %2")
                               .arg(operation, QString::number(result)));
        return false;
    }
    return true;
}

bool AXWindowService::minimize(AXElement window) {
    return writeFlag(window, QStringLiteral("AXMinimized"), true, QStringLiteral("minimize"));
}

bool AXWindowService::deminimize(AXElement window) {
    return writeFlag(window, QStringLiteral("AXMinimized"), false, QStringLiteral("deminimize"));
}

bool AXWindowService::exitFullScreen(AXElement window) {
    return writeFlag(window, QStringLiteral("AXFullScreen"), false, QStringLiteral("exitFullScreen"));
}
