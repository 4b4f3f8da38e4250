#pragma once

#include "Platform/Accessibility.h"

#include <QList>
#include <QRectF>
#include <QString>

#include <optional>
#include <utility>

// The typed reads every desktop service makes of accessibility elements, through the current
// platform's accessibility port. Without a port every read fails as for an unreachable process.
class AXAttributeReader {
public:
    struct FrameReading {
        std::optional<QRectF> frame;
        // Set when both values came back but one of them is not a geometry value: the type
        // identifiers of the position and the size.
        std::optional<std::pair<quint32, quint32>> unexpectedTypes;
    };

    AXAttributeReader() = delete;

    static AXElement applicationElement(qint32 pid);
    static AXResult read(AXElement element, const QString& attribute);
    static int write(AXElement element, const QString& attribute, const AXValue& value);
    static int perform(AXElement element, const QString& action);

    // "AXWindows" of an application element, accepted only when the read succeeded and gave a
    // list of elements.
    static std::optional<QList<AXElement>> windowList(AXElement application);
    // A string attribute; absent when unreadable, missing or of another type.
    static std::optional<QString> string(AXElement element, const QString& attribute);
    // A Boolean attribute; false when unreadable, missing or of another type.
    static bool boolean(AXElement element, const QString& attribute);
    // The frame from "AXPosition" and "AXSize". A frame with a coordinate that is not a finite
    // number counts as unreadable: nothing can be compared with it or put back from it.
    static FrameReading frame(AXElement window);
};
