#include "Services/Desktop/AXAttributeReader.h"

#include "Extensions/RectConversion.h"
#include "Platform/Platform.h"

namespace {

Accessibility* port() {
    return Platform::current().accessibility.get();
}

} // namespace

AXElement AXAttributeReader::applicationElement(qint32 pid) {
    Accessibility* ax = port();
    return ax ? ax->applicationElement(pid) : AXElement{};
}

AXResult AXAttributeReader::read(AXElement element, const QString& attribute) {
    Accessibility* ax = port();
    return ax ? ax->copyAttributeValue(element, attribute) : AXResult::failure(AXError::CannotComplete);
}

int AXAttributeReader::write(AXElement element, const QString& attribute, const AXValue& value) {
    Accessibility* ax = port();
    return ax ? ax->setAttributeValue(element, attribute, value) : AXError::CannotComplete;
}

int AXAttributeReader::perform(AXElement element, const QString& action) {
    Accessibility* ax = port();
    return ax ? ax->performAction(element, action) : AXError::CannotComplete;
}

std::optional<QList<AXElement>> AXAttributeReader::windowList(AXElement application) {
    const AXResult result = read(application, QStringLiteral("AXWindows"));
    if (!result.succeeded()) {
        return std::nullopt;
    }
    return result.value.toElements();
}

std::optional<QString> AXAttributeReader::string(AXElement element, const QString& attribute) {
    const AXResult result = read(element, attribute);
    return result.succeeded() ? result.value.toString() : std::nullopt;
}

bool AXAttributeReader::boolean(AXElement element, const QString& attribute) {
    const AXResult result = read(element, attribute);
    return result.succeeded() && result.value.toBool().value_or(false);
}

AXAttributeReader::FrameReading AXAttributeReader::frame(AXElement window) {
    const AXResult position = read(window, QStringLiteral("AXPosition"));
    if (!position.succeeded()) {
        return {};
    }
    const AXResult size = read(window, QStringLiteral("AXSize"));
    if (!size.succeeded() || position.value.isNone() || size.value.isNone()) {
        return {};
    }
    if (!position.value.isGeometry() || !size.value.isGeometry()) {
        return FrameReading{std::nullopt, std::make_pair(position.value.typeID(), size.value.typeID())};
    }
    const std::optional<QPointF> origin = position.value.toPoint();
    const std::optional<QSizeF> extent = size.value.toSize();
    if (!origin || !extent) {
        return {};
    }
    const QRectF frame(*origin, *extent);
    if (!RectConversion::isFinite(frame)) {
        return {};
    }
    return FrameReading{frame, std::nullopt};
}
