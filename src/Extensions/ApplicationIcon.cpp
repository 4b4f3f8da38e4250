#include "Extensions/ApplicationIcon.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFont>
#include <QHash>
#include <QIcon>
#include <QMutex>
#include <QPainter>
#include <QSet>
#include <QSettings>
#include <QSvgRenderer>

#include <algorithm>

namespace {

const QStringList rasterSuffixes = {QStringLiteral(".png"), QStringLiteral(".xpm")};
const QStringList scalableSuffixes = {QStringLiteral(".svg"), QStringLiteral(".svgz")};

// What one theme holds under the name: the first SVG file and whether any raster image exists.
struct ThemeMatch {
    QString scalable;
    bool raster = false;
    bool found() const { return raster || !scalable.isEmpty(); }
};

void matchIn(const QString& folder, const QString& name, ThemeMatch& match) {
    for (const QString& suffix : rasterSuffixes) {
        match.raster = match.raster || QFileInfo::exists(folder + u'/' + name + suffix);
    }
    for (const QString& suffix : scalableSuffixes) {
        const QString path = folder + u'/' + name + suffix;
        if (match.scalable.isEmpty() && QFileInfo::exists(path)) {
            match.scalable = path;
        }
    }
}

// A theme's index: those of its folders that exist and the themes it inherits from. Read once per
// file (again when it changes): the common themes list hundreds of folders, most of them absent.
struct ThemeIndex {
    QDateTime modified;
    QStringList folders;
    QStringList parents;
};

ThemeIndex readIndex(const QString& path) {
    static QMutex lock;
    static QHash<QString, ThemeIndex> cache;
    const QDateTime modified = QFileInfo(path).lastModified();
    const QMutexLocker locker(&lock);
    const auto it = cache.constFind(path);
    if (it != cache.constEnd() && it->modified == modified) {
        return *it;
    }
    const QSettings settings(path, QSettings::IniFormat);
    const QString root = QFileInfo(path).path() + u'/';
    ThemeIndex index{modified, {}, settings.value(QStringLiteral("Icon Theme/Inherits")).toStringList()};
    for (const QString& folder :
         settings.value(QStringLiteral("Icon Theme/Directories")).toStringList() +
             settings.value(QStringLiteral("Icon Theme/ScaledDirectories")).toStringList()) {
        if (QFileInfo(root + folder).isDir()) {
            index.folders.append(root + folder);
        }
    }
    cache.insert(path, index);
    return index;
}

// Looks the name up in one theme across the search paths; returns the themes it inherits from.
QStringList matchInTheme(const QString& theme, const QString& name, ThemeMatch& match) {
    QStringList parents;
    for (const QString& base : QIcon::themeSearchPaths()) {
        const QString root = base + u'/' + theme;
        const QString indexPath = root + QStringLiteral("/index.theme");
        if (!QFileInfo::exists(indexPath)) {
            continue;
        }
        const ThemeIndex index = readIndex(indexPath);
        if (parents.isEmpty()) {
            parents = index.parents;
        }
        for (const QString& folder : index.folders) {
            matchIn(folder, name, match);
        }
    }
    return parents;
}

bool drawsNothing(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) != 0) {
                return false;
            }
        }
    }
    return true;
}

QImage renderScalable(const QString& path, int size) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        return QImage();
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    // Qt's SVG text scales its glyphs by the painter's point size. The interface font is sized in
    // pixels (point size -1), which would mirror text that takes its size from it and draw
    // nothing, with a warning about a negative pixel size: give the painter the same font in points.
    QFont font = painter.font();
    if (font.pointSizeF() <= 0) {
        font.setPointSizeF(std::max(font.pixelSize(), 1) * 72.0 / image.logicalDpiY());
        painter.setFont(font);
    }
    QSizeF shape = renderer.viewBoxF().size();
    if (shape.isEmpty()) {
        shape = QSizeF(size, size);
    }
    shape.scale(size, size, Qt::KeepAspectRatio);
    renderer.render(&painter,
                    QRectF(QPointF((size - shape.width()) / 2, (size - shape.height()) / 2), shape));
    return image;
}

} // namespace

QString ApplicationIcon::scalableFile(const QString& name) {
    QStringList queue = {QIcon::themeName(), QIcon::fallbackThemeName(), QStringLiteral("hicolor")};
    QSet<QString> seen;
    while (!queue.isEmpty()) {
        const QString theme = queue.takeFirst();
        if (theme.isEmpty() || seen.contains(theme)) {
            continue;
        }
        seen.insert(theme);
        ThemeMatch match;
        const QStringList parents = matchInTheme(theme, name, match);
        if (match.found()) {
            return match.scalable;
        }
        queue = parents + queue;
    }
    // Images outside any theme, found by their file name.
    for (const QString& folder : QIcon::fallbackSearchPaths()) {
        ThemeMatch match;
        matchIn(folder, name, match);
        if (match.found()) {
            return match.scalable;
        }
    }
    return QString();
}

QImage ApplicationIcon::render(const QString& source, int size) {
    if (source.isEmpty() || size <= 0) {
        return QImage();
    }
    // Rows, chips and pickers ask for the same few icons again and again, from any thread: each is
    // looked up and drawn once per size. Icons do not change while Ordella runs often enough to be
    // worth the lookup on every row.
    static QMutex cacheLock;
    static QHash<std::pair<QString, int>, QImage> cache;
    const std::pair<QString, int> key{source, size};
    {
        const QMutexLocker locker(&cacheLock);
        if (const auto it = cache.constFind(key); it != cache.constEnd()) {
            return *it;
        }
    }
    const QImage image = renderUncached(source, size);
    const QMutexLocker locker(&cacheLock);
    // A bound, so a process that meets thousands of applications keeps only a screenful.
    if (cache.size() >= 512) {
        cache.clear();
    }
    cache.insert(key, image);
    return image;
}

QImage ApplicationIcon::renderUncached(const QString& source, int size) {
    QImage image;
    const QFileInfo file(source);
    if (file.isAbsolute()) {
        if (!file.isFile()) {
            return QImage();
        }
        const QString suffix = file.suffix().toLower();
        image = suffix == u"svg" || suffix == u"svgz" ? renderScalable(source, size)
                                                      : QIcon(source).pixmap(size, size).toImage();
    } else if (const QString scalable = scalableFile(source); !scalable.isEmpty()) {
        image = renderScalable(scalable, size);
    } else {
        // Raster images: Qt's theme lookup picks the size closest to the one asked for.
        image = QIcon::fromTheme(source).pixmap(size, size).toImage();
    }
    return image.isNull() || drawsNothing(image) ? QImage() : image;
}
