#include "Platform/Simulated/SimulatedScene.h"

#include "Extensions/NumberConversion.h"
#include "Platform/Simulated/SimulatedDesktop.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

#include <cmath>

namespace {

// Reads typed values out of a JSON object and remembers the first fault, with where it was.
class Reader {
public:
    bool failed() const { return !m_error.isEmpty(); }
    const QString& error() const { return m_error; }

    void fail(const QString& where, const QString& what) {
        if (m_error.isEmpty()) {
            m_error = where + QStringLiteral(": ") + what;
        }
    }

    std::optional<QString> string(const QJsonObject& o, const QString& key, const QString& where) {
        const QJsonValue v = o.value(key);
        if (v.isUndefined() || v.isNull()) {
            return std::nullopt;
        }
        if (!v.isString()) {
            fail(where + '.' + key, QStringLiteral("expected a string"));
            return std::nullopt;
        }
        return v.toString();
    }

    bool boolean(const QJsonObject& o, const QString& key, bool fallback, const QString& where) {
        const QJsonValue v = o.value(key);
        if (v.isUndefined()) {
            return fallback;
        }
        if (!v.isBool()) {
            fail(where + '.' + key, QStringLiteral("expected true or false"));
            return fallback;
        }
        return v.toBool();
    }

    std::optional<double> number(const QJsonObject& o, const QString& key, const QString& where) {
        const QJsonValue v = o.value(key);
        if (v.isUndefined()) {
            return std::nullopt;
        }
        if (!v.isDouble() || !std::isfinite(v.toDouble())) {
            fail(where + '.' + key, QStringLiteral("expected a finite number"));
            return std::nullopt;
        }
        return v.toDouble();
    }

    // A whole number from low to high; checked before any conversion, so no value is out of range.
    std::optional<qint64> whole(const QJsonObject& o, const QString& key, const QString& where, qint64 low,
                                qint64 high) {
        const std::optional<double> value = number(o, key, where);
        if (!value) {
            return std::nullopt;
        }
        const std::optional<std::int64_t> exact = NumberConversion::exactInt64(*value);
        if (!exact || double(*exact) != *value || *exact < low || *exact > high) {
            fail(where + '.' + key, QStringLiteral("expected a whole number from ") + QString::number(low) +
                                        QStringLiteral(" to ") + QString::number(high));
            return std::nullopt;
        }
        return *exact;
    }

    Clock::Duration delay(const QJsonObject& o, const QString& key, const QString& where) {
        const std::optional<double> seconds = number(o, key, where);
        if (seconds && *seconds < 0) {
            fail(where + '.' + key, QStringLiteral("a delay cannot be negative"));
        }
        return Clock::seconds(seconds.value_or(0));
    }

    std::optional<QRectF> rect(const QJsonObject& o, const QString& key, const QString& where,
                               bool required) {
        const QJsonValue v = o.value(key);
        const QString at = where + '.' + key;
        if (v.isUndefined() && !required) {
            return std::nullopt;
        }
        if (!v.isObject()) {
            fail(at, QStringLiteral("expected an object with x, y, width and height"));
            return std::nullopt;
        }
        const QJsonObject r = v.toObject();
        const auto x = number(r, QStringLiteral("x"), at);
        const auto y = number(r, QStringLiteral("y"), at);
        const auto w = number(r, QStringLiteral("width"), at);
        const auto h = number(r, QStringLiteral("height"), at);
        if (!x || !y || !w || !h || *w < 0 || *h < 0) {
            fail(at, QStringLiteral("expected x, y and a width and height of 0 or more"));
            return std::nullopt;
        }
        return QRectF(*x, *y, *w, *h);
    }

    QJsonArray array(const QJsonObject& o, const QString& key, const QString& where) {
        const QJsonValue v = o.value(key);
        if (v.isUndefined()) {
            return {};
        }
        if (!v.isArray()) {
            fail(where + '.' + key, QStringLiteral("expected a list"));
            return {};
        }
        return v.toArray();
    }

    QJsonObject object(const QJsonValue& v, const QString& where) {
        if (!v.isObject()) {
            fail(where, QStringLiteral("expected an object"));
            return {};
        }
        return v.toObject();
    }

private:
    QString m_error;
};

std::optional<Screen> readScreen(Reader& in, const QJsonObject& o, const QString& at) {
    Screen screen;
    if (const auto number = in.whole(o, QStringLiteral("displayNumber"), at, 0, 4294967295)) {
        screen.displayNumber = quint32(*number);
    } else if (in.failed()) {
        return std::nullopt;
    }
    if (const auto identity = in.string(o, QStringLiteral("identity"), at)) {
        const QUuid uuid = QUuid::fromString(*identity);
        if (identity->size() != 36 || uuid.isNull()) {
            in.fail(at + QStringLiteral(".identity"), QStringLiteral("expected a UUID of 36 characters"));
            return std::nullopt;
        }
        screen.identity = uuid;
    }
    screen.localizedName = in.string(o, QStringLiteral("name"), at).value_or(QString());
    const auto frame = in.rect(o, QStringLiteral("frame"), at, true);
    screen.frame = frame.value_or(QRectF());
    screen.visibleFrame = in.rect(o, QStringLiteral("visibleFrame"), at, false).value_or(screen.frame);
    return in.failed() ? std::nullopt : std::optional<Screen>(screen);
}

const QStringList kWindowKeys = {"title",      "document", "frame",       "subrole",      "minimized",
                                 "fullScreen", "onScreen", "minimumSize", "ignoresMoves", "moveDelay"};
const QStringList kAppKeys = {"bundleIdentifier", "name",      "pid",         "activationPolicy",
                              "running",          "installed", "hidden",      "finishedLaunching",
                              "refusesQuit",      "quitDelay", "launchDelay", "finishLaunchingDelay",
                              "windowDelay",      "windows"};

QJsonObject extraKeys(const QJsonObject& o, const QStringList& known) {
    QJsonObject extra;
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!known.contains(it.key())) {
            extra.insert(it.key(), it.value());
        }
    }
    return extra;
}

SimulatedDesktop::Window readWindow(Reader& in, const QJsonObject& o, const QString& at) {
    SimulatedDesktop::Window w;
    w.frame = in.rect(o, QStringLiteral("frame"), at, true).value_or(QRectF());
    w.title = in.string(o, QStringLiteral("title"), at);
    w.document = in.string(o, QStringLiteral("document"), at);
    if (o.contains(QStringLiteral("subrole"))) {
        w.subrole = in.string(o, QStringLiteral("subrole"), at);
    }
    w.minimized = in.boolean(o, QStringLiteral("minimized"), false, at);
    w.fullScreen = in.boolean(o, QStringLiteral("fullScreen"), false, at);
    w.onScreen = in.boolean(o, QStringLiteral("onScreen"), true, at);
    if (o.contains(QStringLiteral("minimumSize"))) {
        const QJsonObject s =
            in.object(o.value(QStringLiteral("minimumSize")), at + QStringLiteral(".minimumSize"));
        const auto width = in.number(s, QStringLiteral("width"), at + QStringLiteral(".minimumSize"));
        const auto height = in.number(s, QStringLiteral("height"), at + QStringLiteral(".minimumSize"));
        if (!width || !height) {
            in.fail(at + QStringLiteral(".minimumSize"), QStringLiteral("expected a width and a height"));
        } else {
            w.faults.minimumSize = QSizeF(*width, *height);
        }
    }
    w.faults.ignoresMoves = in.boolean(o, QStringLiteral("ignoresMoves"), false, at);
    w.faults.moveDelay = in.delay(o, QStringLiteral("moveDelay"), at);
    w.sceneData = extraKeys(o, kWindowKeys);
    return w;
}

std::optional<ActivationPolicy> readPolicy(Reader& in, const QJsonObject& o, const QString& at) {
    const QString policy =
        in.string(o, QStringLiteral("activationPolicy"), at).value_or(QStringLiteral("regular"));
    if (policy == QLatin1String("regular")) {
        return ActivationPolicy::Regular;
    }
    if (policy == QLatin1String("accessory")) {
        return ActivationPolicy::Accessory;
    }
    if (policy == QLatin1String("prohibited")) {
        return ActivationPolicy::Prohibited;
    }
    in.fail(at + QStringLiteral(".activationPolicy"),
            QStringLiteral("expected regular, accessory or prohibited"));
    return std::nullopt;
}

struct SceneApp {
    SimulatedDesktop::Application app;
    QList<SimulatedDesktop::Window> windows;
    std::optional<SimulatedDesktop::InstalledApp> installed;
    bool running = true;
};

SceneApp readApplication(Reader& in, const QJsonObject& o, const QString& at) {
    SceneApp result;
    SimulatedDesktop::Application& app = result.app;
    app.bundleIdentifier = in.string(o, QStringLiteral("bundleIdentifier"), at);
    app.name = in.string(o, QStringLiteral("name"), at);
    if (const auto pid = in.whole(o, QStringLiteral("pid"), at, 1, 2147483647)) {
        app.pid = qint32(*pid);
    }
    app.activationPolicy = readPolicy(in, o, at).value_or(ActivationPolicy::Regular);
    app.hidden = in.boolean(o, QStringLiteral("hidden"), false, at);
    app.finishedLaunching = in.boolean(o, QStringLiteral("finishedLaunching"), true, at);
    app.faults.refusesQuit = in.boolean(o, QStringLiteral("refusesQuit"), false, at);
    app.faults.quitDelay = in.delay(o, QStringLiteral("quitDelay"), at);
    app.sceneData = extraKeys(o, kAppKeys);
    result.running = in.boolean(o, QStringLiteral("running"), true, at);

    const QJsonArray windows = in.array(o, QStringLiteral("windows"), at);
    for (int i = 0; i < windows.size() && !in.failed(); ++i) {
        const QString wat = at + QStringLiteral(".windows[%1]").arg(i);
        result.windows.append(readWindow(in, in.object(windows[i], wat), wat));
    }

    const bool installed = in.boolean(o, QStringLiteral("installed"), true, at);
    if (installed && app.bundleIdentifier) {
        SimulatedDesktop::InstalledApp inst;
        inst.bundleIdentifier = *app.bundleIdentifier;
        inst.name = app.name.value_or(*app.bundleIdentifier);
        inst.activationPolicy = app.activationPolicy;
        inst.launchDelay = in.delay(o, QStringLiteral("launchDelay"), at);
        inst.finishLaunchingDelay = in.delay(o, QStringLiteral("finishLaunchingDelay"), at);
        inst.windowDelay = in.delay(o, QStringLiteral("windowDelay"), at);
        // A relaunch shows the same windows again, in their own state.
        for (SimulatedDesktop::Window w : result.windows) {
            w.minimized = false;
            w.fullScreen = false;
            inst.windowsOnLaunch.append(w);
        }
        inst.faults = app.faults;
        inst.sceneData = app.sceneData;
        result.installed = inst;
    } else if (!result.running) {
        in.fail(at, QStringLiteral(
                        "an application that is not running must be installed and have a bundle identifier"));
    }
    return result;
}

} // namespace

SimulatedScene::LoadResult SimulatedScene::loadFile(const QString& path, SimulatedDesktop& desktop) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return LoadResult{
            false, QStringLiteral("cannot read the scene file %1: %2").arg(path, file.errorString()), {}};
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        const QString why = parseError.error != QJsonParseError::NoError
                                ? parseError.errorString()
                                : QStringLiteral("expected a JSON object");
        return LoadResult{false, QStringLiteral("the scene file %1 is not a scene: %2").arg(path, why), {}};
    }
    return load(document.object(), desktop);
}

SimulatedScene::LoadResult SimulatedScene::load(const QJsonObject& scene, SimulatedDesktop& desktop) {
    Reader in;
    QList<Screen> screens;
    const QJsonArray screenList = in.array(scene, QStringLiteral("screens"), QStringLiteral("scene"));
    for (int i = 0; i < screenList.size() && !in.failed(); ++i) {
        const QString at = QStringLiteral("screens[%1]").arg(i);
        if (const auto screen = readScreen(in, in.object(screenList[i], at), at)) {
            screens.append(*screen);
        }
    }
    const int mainScreen = int(
        in.whole(scene, QStringLiteral("mainScreen"), QStringLiteral("scene"), 0, 2147483647).value_or(0));
    if (!screens.isEmpty() && mainScreen >= screens.size()) {
        in.fail(QStringLiteral("scene.mainScreen"), QStringLiteral("not the position of a screen"));
    }

    QList<SceneApp> apps;
    const QJsonArray appList = in.array(scene, QStringLiteral("applications"), QStringLiteral("scene"));
    for (int i = 0; i < appList.size() && !in.failed(); ++i) {
        const QString at = QStringLiteral("applications[%1]").arg(i);
        apps.append(readApplication(in, in.object(appList[i], at), at));
    }
    const std::optional<QString> frontmost =
        in.string(scene, QStringLiteral("frontmost"), QStringLiteral("scene"));
    if (in.failed()) {
        return LoadResult{false, in.error(), scene};
    }

    if (scene.contains(QStringLiteral("screens"))) {
        desktop.setScreens(screens, mainScreen);
    }
    QList<quint32> stack;
    std::optional<qint32> front;
    for (SceneApp& entry : apps) {
        if (entry.installed) {
            desktop.installApplication(*entry.installed);
        }
        if (!entry.running) {
            continue;
        }
        const qint32 pid = desktop.addApplication(entry.app);
        for (const SimulatedDesktop::Window& w : entry.windows) {
            stack.append(desktop.addWindow(pid, w, true));
        }
        const bool regular = entry.app.activationPolicy == ActivationPolicy::Regular;
        if ((frontmost && entry.app.bundleIdentifier == frontmost) || (!frontmost && !front && regular)) {
            front = front.value_or(pid);
        }
    }
    // The scene's windows go in front of any the desktop already had, in the scene's order.
    desktop.setStackingOrder(stack);
    if (front) {
        desktop.setFrontmost(front);
    }
    return LoadResult{true, QString(), scene};
}

QString SimulatedScene::demoScenePath() {
    // Built into the program: found whatever the working folder, installed or not.
    return QStringLiteral(":/Ordella/Simulated/scenes/demo.json");
}
