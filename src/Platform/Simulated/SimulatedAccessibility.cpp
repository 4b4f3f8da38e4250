#include "Platform/Simulated/SimulatedAccessibility.h"

#include "Platform/Simulated/SimulatedDesktop.h"

#include <algorithm>

namespace {

using Window = SimulatedDesktop::Window;

AXResult optionalString(const std::optional<QString>& value) {
    return value ? AXResult::success(AXValue::string(*value)) : AXResult::failure(AXError::NoValue);
}

// The frame of the screen the window's centre is on (the primary screen when none), with the
// origin at the top left of the primary screen as window frames have it.
QRectF screenFrameTopLeft(const QList<Screen>& screens, const QRectF& windowFrame) {
    if (screens.isEmpty()) {
        return windowFrame;
    }
    const double h = screens.first().frame.height();
    const auto flip = [h](const QRectF& r) {
        return QRectF(r.x(), h - r.y() - r.height(), r.width(), r.height());
    };
    const QPointF centre = windowFrame.center();
    for (const Screen& screen : screens) {
        const QRectF f = flip(screen.frame);
        if (centre.x() >= f.left() && centre.x() < f.right() && centre.y() >= f.top() &&
            centre.y() < f.bottom()) {
            return f;
        }
    }
    return flip(screens.first().frame);
}

void applyFrame(SimulatedDesktop& desktop, quint32 number, std::optional<QPointF> position,
                std::optional<QSizeF> size) {
    desktop.updateWindow(number, [position, size](Window& w) {
        if (size) {
            QSizeF s(std::max(0.0, size->width()), std::max(0.0, size->height()));
            if (w.faults.minimumSize) {
                s = s.expandedTo(*w.faults.minimumSize);
            }
            w.frame.setSize(s);
        }
        if (position) {
            w.frame.moveTopLeft(*position);
        }
    });
}

void applyState(SimulatedDesktop& desktop, quint32 number, const QString& attribute, bool value) {
    const QList<Screen> screens = desktop.screens();
    desktop.updateWindow(number, [&screens, &attribute, value](Window& w) {
        if (attribute == AXName::Minimized) {
            w.minimized = value;
        } else if (value && !w.fullScreen) {
            w.frameBeforeFullScreen = w.frame;
            w.frame = screenFrameTopLeft(screens, w.frame);
            w.fullScreen = true;
        } else if (!value && w.fullScreen) {
            w.frame = w.frameBeforeFullScreen.value_or(w.frame);
            w.frameBeforeFullScreen.reset();
            w.fullScreen = false;
        }
    });
}

// Application elements are numbered above every window number; a window's element is its
// window-server number.
constexpr quint64 ApplicationElementBase = quint64(1) << 40;

std::optional<qint32> applicationPid(AXElement element) {
    if (element.id < ApplicationElementBase) {
        return std::nullopt;
    }
    return qint32(quint32(element.id - ApplicationElementBase));
}

AXResult applicationAttribute(const SimulatedDesktop::Application& app, const QString& attribute) {
    if (attribute == AXName::Windows) {
        if (app.faults.windowListError != 0) {
            return AXResult::failure(app.faults.windowListError);
        }
        QList<AXElement> elements;
        for (const quint32 number : app.windowOrder) {
            elements.append(AXElement{number});
        }
        return AXResult::success(AXValue::elements(elements));
    }
    if (attribute == AXName::Role) {
        return AXResult::success(AXValue::string(QStringLiteral("AXApplication")));
    }
    if (attribute == AXName::Title) {
        return optionalString(app.name);
    }
    return AXResult::failure(AXError::AttributeUnsupported);
}

AXResult windowAttribute(const Window& w, const QString& attribute) {
    if (const auto it = w.faults.readOverrides.constFind(attribute);
        it != w.faults.readOverrides.constEnd()) {
        return it.value();
    }
    if (attribute == AXName::Position) {
        return AXResult::success(AXValue::point(w.frame.topLeft()));
    }
    if (attribute == AXName::Size) {
        return AXResult::success(AXValue::size(w.frame.size()));
    }
    if (attribute == AXName::Title) {
        return optionalString(w.title);
    }
    if (attribute == AXName::Document) {
        return optionalString(w.document);
    }
    if (attribute == AXName::Role) {
        return AXResult::success(AXValue::string(w.role));
    }
    if (attribute == AXName::Subrole) {
        return optionalString(w.subrole);
    }
    if (attribute == AXName::Minimized) {
        return AXResult::success(AXValue::boolean(w.minimized));
    }
    if (attribute == AXName::FullScreen) {
        return AXResult::success(AXValue::boolean(w.fullScreen));
    }
    if (attribute == AXName::Main) {
        return AXResult::success(AXValue::boolean(w.main));
    }
    if (attribute == AXName::OnShownSpace) {
        return AXResult::success(AXValue::boolean(w.onScreen));
    }
    if (attribute == AXName::Focused) {
        return AXResult::success(AXValue::boolean(w.focused));
    }
    return AXResult::failure(AXError::AttributeUnsupported);
}

int setWindowAttribute(SimulatedDesktop* desktop, Window& w, const QString& attribute, const AXValue& value) {
    const quint32 number = w.number;
    if (attribute == AXName::Position || attribute == AXName::Size) {
        const std::optional<QPointF> position =
            attribute == AXName::Position ? value.toPoint() : std::nullopt;
        const std::optional<QSizeF> size = attribute == AXName::Size ? value.toSize() : std::nullopt;
        if (!position && !size) {
            return AXError::IllegalArgument;
        }
        // A full-screen window cannot be moved; the request is taken and nothing happens.
        if (!w.faults.ignoresMoves && !w.fullScreen) {
            // The desktop owns the timer, so it is there when the move takes effect.
            desktop->schedule(w.faults.moveDelay, [desktop, number, position, size] {
                applyFrame(*desktop, number, position, size);
            });
        }
        return AXError::Success;
    }
    if (attribute == AXName::Minimized || attribute == AXName::FullScreen) {
        const std::optional<bool> flag = value.toBool();
        if (!flag) {
            return AXError::IllegalArgument;
        }
        if (attribute == AXName::Minimized && !*flag && !w.onScreen && w.faults.showsOnlyOnShownDesktop) {
            return AXError::Success;
        }
        desktop->schedule(w.faults.stateChangeDelay, [desktop, number, attribute, flag] {
            applyState(*desktop, number, attribute, *flag);
        });
        return AXError::Success;
    }
    if (attribute == AXName::OnShownSpace) {
        const std::optional<bool> flag = value.toBool();
        if (!flag) {
            return AXError::IllegalArgument;
        }
        // Brought over at once; a window is never sent away from the desktop shown this way.
        desktop->updateWindow(number, [flag](Window& target) { target.onScreen = target.onScreen || *flag; });
        return AXError::Success;
    }
    if (attribute == AXName::Main || attribute == AXName::Focused) {
        const std::optional<bool> flag = value.toBool();
        if (!flag) {
            return AXError::IllegalArgument;
        }
        // One main and one focused window per application: setting one clears its siblings.
        const bool isMain = attribute == AXName::Main;
        // Focus goes through the window manager's activation, which shows a minimised window
        // (unless the window refuses to be shown at all).
        const bool shows =
            !isMain && *flag && w.minimized && !w.faults.writeErrors.contains(AXName::Minimized);
        desktop->updateWindow(number, [desktop, isMain, flag, number](Window& target) {
            for (const quint32 sibling : desktop->windowsOf(target.ownerPid)) {
                Window& other = *desktop->window(sibling);
                bool& slot = isMain ? other.main : other.focused;
                slot = sibling == number ? *flag : (*flag ? false : slot);
            }
        });
        if (shows) {
            applyState(*desktop, number, AXName::Minimized, false);
        }
        return AXError::Success;
    }
    return AXError::AttributeUnsupported;
}

} // namespace

SimulatedAccessibility::SimulatedAccessibility(SimulatedDesktop* desktop)
    : m_desktop(desktop) {
}

bool SimulatedAccessibility::isProcessTrusted() {
    return m_desktop && m_desktop->isTrusted();
}

AXElement SimulatedAccessibility::applicationElement(qint32 pid) {
    return m_desktop ? AXElement{ApplicationElementBase + quint64(quint32(pid))} : AXElement{};
}

AXResult SimulatedAccessibility::copyAttributeValue(AXElement element, const QString& attribute) {
    if (!m_desktop) {
        return AXResult::failure(AXError::CannotComplete);
    }
    if (!m_desktop->isTrusted()) {
        return AXResult::failure(AXError::APIDisabled);
    }
    if (const std::optional<qint32> pid = applicationPid(element)) {
        const SimulatedDesktop::Application* app = m_desktop->application(*pid);
        return app ? applicationAttribute(*app, attribute) : AXResult::failure(AXError::CannotComplete);
    }
    const Window* w = m_desktop->window(quint32(element.id));
    return w ? windowAttribute(*w, attribute) : AXResult::failure(AXError::InvalidUIElement);
}

int SimulatedAccessibility::setAttributeValue(AXElement element, const QString& attribute,
                                              const AXValue& value) {
    if (!m_desktop) {
        return AXError::CannotComplete;
    }
    if (!m_desktop->isTrusted()) {
        return AXError::APIDisabled;
    }
    if (const std::optional<qint32> pid = applicationPid(element)) {
        return m_desktop->application(*pid) ? AXError::AttributeUnsupported : AXError::CannotComplete;
    }
    Window* w = m_desktop->window(quint32(element.id));
    if (!w) {
        return AXError::InvalidUIElement;
    }
    if (const auto it = w->faults.writeErrors.constFind(attribute); it != w->faults.writeErrors.constEnd()) {
        return it.value();
    }
    return setWindowAttribute(m_desktop, *w, attribute, value);
}

int SimulatedAccessibility::performAction(AXElement element, const QString& action) {
    if (!m_desktop) {
        return AXError::CannotComplete;
    }
    if (!m_desktop->isTrusted()) {
        return AXError::APIDisabled;
    }
    if (applicationPid(element)) {
        return AXError::ActionUnsupported;
    }
    if (!m_desktop->window(quint32(element.id))) {
        return AXError::InvalidUIElement;
    }
    if (action != AXName::Raise) {
        return AXError::ActionUnsupported;
    }
    m_desktop->requestRaise(quint32(element.id));
    return AXError::Success;
}
