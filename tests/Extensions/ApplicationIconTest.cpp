#include "Extensions/ApplicationIcon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QMutex>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// An icon drawn as text whose size only its inner span sets, as drawing programs write logos.
constexpr char textLogo[] = R"(<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48">
<text style="line-height:0%;font-family:sans-serif;fill:#ff5e00;stroke:#ff0000" x="4" y="44">
<tspan style="font-size:48px;line-height:1.25">X</tspan></text></svg>)";
constexpr char square[] = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 10 10">
<rect width="10" height="10" fill="#0060ff"/></svg>)";
constexpr char empty[] = R"(<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48"><g/></svg>)";

QMutex messagesLock;
QStringList messages;
QtMessageHandler previousHandler = nullptr;

void collect(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    {
        const QMutexLocker lock(&messagesLock);
        messages.append(message);
    }
    previousHandler(type, context, message);
}

int opaquePixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += qAlpha(image.pixel(x, y)) != 0 ? 1 : 0;
        }
    }
    return count;
}

// Two themes in a data folder of their own, "app" inheriting from "base", and the interface font
// sized in pixels as the application sets it.
class ApplicationIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_data.isValid());
        write(QStringLiteral("icons/app/index.theme"),
              "[Icon Theme]\nName=App\nInherits=base\nDirectories=48x48/apps,scalable/apps\n\n"
              "[48x48/apps]\nSize=48\nType=Fixed\n\n[scalable/apps]\nSize=48\nMinSize=8\nMaxSize=512\n"
              "Type=Scalable\n");
        write(QStringLiteral("icons/base/index.theme"),
              "[Icon Theme]\nName=Base\nDirectories=scalable/apps\n\n[scalable/apps]\nSize=48\n"
              "Type=Scalable\n");
        write(QStringLiteral("icons/app/scalable/apps/textlogo.svg"), textLogo);
        write(QStringLiteral("icons/app/scalable/apps/both.svg"), square);
        write(QStringLiteral("icons/app/scalable/apps/blank.svg"), empty);
        write(QStringLiteral("icons/app/scalable/apps/broken.svg"), "<svg><rect");
        write(QStringLiteral("icons/base/scalable/apps/inherited.svg"), square);
        QImage raster(48, 48, QImage::Format_ARGB32);
        raster.fill(Qt::red);
        ASSERT_TRUE(QDir().mkpath(m_data.filePath(QStringLiteral("icons/app/48x48/apps"))));
        ASSERT_TRUE(raster.save(m_data.filePath(QStringLiteral("icons/app/48x48/apps/raster.png"))));
        ASSERT_TRUE(raster.save(m_data.filePath(QStringLiteral("icons/app/48x48/apps/both.png"))));

        m_searchPaths = QIcon::themeSearchPaths();
        m_theme = QIcon::themeName();
        m_font = QGuiApplication::font();
        QIcon::setThemeSearchPaths({m_data.filePath(QStringLiteral("icons"))});
        QIcon::setThemeName(QStringLiteral("app"));
        QFont font = m_font;
        font.setPixelSize(13);
        QGuiApplication::setFont(font);
        messages.clear();
        previousHandler = qInstallMessageHandler(collect);
    }

    void TearDown() override {
        qInstallMessageHandler(previousHandler);
        QGuiApplication::setFont(m_font);
        QIcon::setThemeName(m_theme);
        QIcon::setThemeSearchPaths(m_searchPaths);
    }

    void write(const QString& name, const QByteArray& content) {
        const QString path = m_data.filePath(name);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir m_data;
    QStringList m_searchPaths;
    QString m_theme;
    QFont m_font;
};

} // namespace

TEST_F(ApplicationIconTest, DrawsWhatTheIconShowsAndNothingForIconsThatShowNothing) {
    struct Case {
        QString source;
        bool drawn;
    };
    const Case cases[] = {
        {QStringLiteral("textlogo"), true},
        {m_data.filePath(QStringLiteral("icons/app/scalable/apps/textlogo.svg")), true},
        {QStringLiteral("raster"), true},
        {QStringLiteral("both"), true},
        {QStringLiteral("inherited"), true},
        {QStringLiteral("blank"), false},
        {QStringLiteral("broken"), false},
        {QStringLiteral("missing"), false},
        {m_data.filePath(QStringLiteral("missing.svg")), false},
        {QString(), false},
    };
    for (const Case& c : cases) {
        const QImage image = ApplicationIcon::render(c.source, 64);
        EXPECT_EQ(!image.isNull(), c.drawn) << c.source.toStdString();
        if (c.drawn) {
            // Raster images are not drawn larger than their largest size.
            EXPECT_EQ(image.width(), image.height()) << c.source.toStdString();
            EXPECT_LE(image.width(), 64) << c.source.toStdString();
            // A glyph drawn mirrored leaves a few stray pixels at most.
            EXPECT_GT(opaquePixels(image), 300) << c.source.toStdString();
        }
    }
    const QMutexLocker lock(&messagesLock);
    for (const QString& message : messages) {
        EXPECT_FALSE(message.contains(QLatin1String("Pixel size <= 0"))) << message.toStdString();
    }
}

TEST_F(ApplicationIconTest, FindsTheScalableImageOfTheFirstThemeThatHasTheIcon) {
    const QString icons = m_data.filePath(QStringLiteral("icons"));
    EXPECT_EQ(ApplicationIcon::scalableFile(QStringLiteral("textlogo")),
              icons + "/app/scalable/apps/textlogo.svg");
    EXPECT_EQ(ApplicationIcon::scalableFile(QStringLiteral("both")), icons + "/app/scalable/apps/both.svg");
    EXPECT_EQ(ApplicationIcon::scalableFile(QStringLiteral("inherited")),
              icons + "/base/scalable/apps/inherited.svg");
    EXPECT_EQ(ApplicationIcon::scalableFile(QStringLiteral("raster")), QString());
    EXPECT_EQ(ApplicationIcon::scalableFile(QStringLiteral("missing")), QString());
}
