#pragma once

#include <QImage>
#include <QString>

// Draws the icon an application's desktop entry names: a name in the desktop's icon theme or an
// absolute path to an image. Safe to use from any thread.
class ApplicationIcon {
public:
    ApplicationIcon() = delete;

    // The icon drawn into a square of the given size in pixels, its shape centred (a raster image
    // no larger than the largest it comes in); a null image
    // when the name leads to no icon, the icon cannot be read, or it draws nothing at all (so the
    // views show their stand-in for an application without an icon). Each source and size is drawn
    // once for the process.
    static QImage render(const QString& source, int size);

    // The scalable image the icon theme holds for the name when the first theme (in the order
    // the theme and those it inherits from are searched) that has the icon has it as SVG;
    // empty otherwise.
    static QString scalableFile(const QString& name);

private:
    static QImage renderUncached(const QString& source, int size);
};
