#include "ViewModels/WorkspaceColors.h"

#include "Models/WorkspaceAppearance.h"

#include <array>

namespace {

struct NamedColor {
    const char16_t* name;
    QRgb rgb;
};

// Vivid mid-tones that read well on the light and the dark window background alike.
constexpr std::array<NamedColor, 11> kColors{{
    {u"indigo", 0x5b5bd6},
    {u"purple", 0xa35bdb},
    {u"mint", 0x2ec4b0},
    {u"teal", 0x31a8c4},
    {u"orange", 0xf58a2e},
    {u"red", 0xf2474a},
    {u"cyan", 0x3bb8f0},
    {u"blue", 0x2f7cf6},
    {u"pink", 0xf2497e},
    {u"green", 0x34c063},
    {u"yellow", 0xf2c12e},
}};

} // namespace

QColor WorkspaceColors::color(const QString& name) {
    for (const NamedColor& c : kColors) {
        if (name == QStringView(c.name)) {
            return QColor::fromRgb(c.rgb);
        }
    }
    return gray();
}

QColor WorkspaceColors::gray() {
    return QColor::fromRgb(0x8e8e93);
}

QColor WorkspaceColors::startColor(qint64 index) {
    return color(
        WorkspaceAppearance::availableGradients().at(WorkspaceAppearance::gradientIndexInRange(index)).first);
}

QColor WorkspaceColors::endColor(qint64 index) {
    return color(WorkspaceAppearance::availableGradients()
                     .at(WorkspaceAppearance::gradientIndexInRange(index))
                     .second);
}
