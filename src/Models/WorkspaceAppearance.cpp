#include "Models/WorkspaceAppearance.h"

namespace {

struct Keyword {
    QString word;
    QString icon;
};

// Common words of workspace names and the icon each suggests. No word occurs twice.
const QList<Keyword>& keywords() {
    static const QList<Keyword> table = {
        {QStringLiteral("work"), QStringLiteral("briefcase.fill")},
        {QStringLiteral("office"), QStringLiteral("building.2.fill")},
        {QStringLiteral("business"), QStringLiteral("building.2.fill")},
        {QStringLiteral("project"), QStringLiteral("chart.bar.fill")},
        {QStringLiteral("projects"), QStringLiteral("chart.bar.fill")},
        {QStringLiteral("meetings"), QStringLiteral("person.2.fill")},
        {QStringLiteral("meeting"), QStringLiteral("person.2.fill")},
        {QStringLiteral("standup"), QStringLiteral("person.2.fill")},
        {QStringLiteral("social"), QStringLiteral("person.2.fill")},
        {QStringLiteral("planning"), QStringLiteral("calendar")},
        {QStringLiteral("calendar"), QStringLiteral("calendar")},
        {QStringLiteral("notes"), QStringLiteral("note.text")},
        {QStringLiteral("note"), QStringLiteral("note.text")},
        {QStringLiteral("documents"), QStringLiteral("doc.text.fill")},
        {QStringLiteral("docs"), QStringLiteral("doc.text.fill")},
        {QStringLiteral("files"), QStringLiteral("folder.fill")},
        {QStringLiteral("folder"), QStringLiteral("folder.fill")},
        {QStringLiteral("inbox"), QStringLiteral("tray.full.fill")},
        {QStringLiteral("mail"), QStringLiteral("envelope.fill")},
        {QStringLiteral("email"), QStringLiteral("envelope.fill")},
        {QStringLiteral("support"), QStringLiteral("lifepreserver.fill")},
        {QStringLiteral("personal"), QStringLiteral("person.fill")},
        {QStringLiteral("home"), QStringLiteral("house.fill")},
        {QStringLiteral("life"), QStringLiteral("heart.fill")},
        {QStringLiteral("hobby"), QStringLiteral("camera.fill")},
        {QStringLiteral("leisure"), QStringLiteral("gamecontroller.fill")},
        {QStringLiteral("gaming"), QStringLiteral("gamecontroller.fill")},
        {QStringLiteral("fun"), QStringLiteral("party.popper.fill")},
        {QStringLiteral("shopping"), QStringLiteral("cart.fill")},
        {QStringLiteral("finance"), QStringLiteral("creditcard.fill")},
        {QStringLiteral("budget"), QStringLiteral("creditcard.fill")},
        {QStringLiteral("design"), QStringLiteral("paintbrush.fill")},
        {QStringLiteral("creative"), QStringLiteral("wand.and.stars")},
        {QStringLiteral("art"), QStringLiteral("paintpalette.fill")},
        {QStringLiteral("drawing"), QStringLiteral("pencil.tip")},
        {QStringLiteral("writing"), QStringLiteral("pencil.tip")},
        {QStringLiteral("photo"), QStringLiteral("photo.fill")},
        {QStringLiteral("photos"), QStringLiteral("photo.fill")},
        {QStringLiteral("graphics"), QStringLiteral("swatchpalette.fill")},
        {QStringLiteral("figma"), QStringLiteral("paintbrush.pointed.fill")},
        {QStringLiteral("ui"), QStringLiteral("macwindow.on.rectangle")},
        {QStringLiteral("ux"), QStringLiteral("figure.walk")},
        {QStringLiteral("development"), QStringLiteral("chevron.left.forwardslash.chevron.right")},
        {QStringLiteral("dev"), QStringLiteral("chevron.left.forwardslash.chevron.right")},
        {QStringLiteral("coding"), QStringLiteral("chevron.left.forwardslash.chevron.right")},
        {QStringLiteral("code"), QStringLiteral("curlybraces")},
        {QStringLiteral("swift"), QStringLiteral("curlybraces")},
        {QStringLiteral("react"), QStringLiteral("curlybraces")},
        {QStringLiteral("programming"), QStringLiteral("terminal.fill")},
        {QStringLiteral("terminal"), QStringLiteral("terminal.fill")},
        {QStringLiteral("python"), QStringLiteral("terminal.fill")},
        {QStringLiteral("node"), QStringLiteral("terminal.fill")},
        {QStringLiteral("xcode"), QStringLiteral("hammer.fill")},
        {QStringLiteral("debug"), QStringLiteral("ladybug.fill")},
        {QStringLiteral("testing"), QStringLiteral("testtube.2")},
        {QStringLiteral("tests"), QStringLiteral("testtube.2")},
        {QStringLiteral("test"), QStringLiteral("testtube.2")},
        {QStringLiteral("devops"), QStringLiteral("server.rack")},
        {QStringLiteral("backend"), QStringLiteral("cpu.fill")},
        {QStringLiteral("frontend"), QStringLiteral("display")},
        {QStringLiteral("fullstack"), QStringLiteral("laptopcomputer")},
        {QStringLiteral("mobile"), QStringLiteral("iphone")},
        {QStringLiteral("ios"), QStringLiteral("iphone")},
        {QStringLiteral("android"), QStringLiteral("iphone")},
        {QStringLiteral("web"), QStringLiteral("globe")},
        {QStringLiteral("chrome"), QStringLiteral("globe")},
        {QStringLiteral("firefox"), QStringLiteral("globe")},
        {QStringLiteral("docker"), QStringLiteral("shippingbox.fill")},
        {QStringLiteral("kubernetes"), QStringLiteral("hexagon.fill")},
        {QStringLiteral("k8s"), QStringLiteral("hexagon.fill")},
        {QStringLiteral("study"), QStringLiteral("book.fill")},
        {QStringLiteral("reading"), QStringLiteral("book.fill")},
        {QStringLiteral("school"), QStringLiteral("graduationcap.fill")},
        {QStringLiteral("education"), QStringLiteral("graduationcap.fill")},
        {QStringLiteral("learning"), QStringLiteral("lightbulb.fill")},
        {QStringLiteral("course"), QStringLiteral("text.book.closed.fill")},
        {QStringLiteral("training"), QStringLiteral("studentdesk")},
        {QStringLiteral("research"), QStringLiteral("magnifyingglass")},
        {QStringLiteral("communication"), QStringLiteral("bubble.left.and.bubble.right.fill")},
        {QStringLiteral("slack"), QStringLiteral("bubble.left.and.bubble.right.fill")},
        {QStringLiteral("discord"), QStringLiteral("bubble.left.and.bubble.right.fill")},
        {QStringLiteral("chat"), QStringLiteral("message.fill")},
        {QStringLiteral("messaging"), QStringLiteral("bubble.left.fill")},
        {QStringLiteral("teams"), QStringLiteral("person.3.fill")},
        {QStringLiteral("conference"), QStringLiteral("person.3.fill")},
        {QStringLiteral("hr"), QStringLiteral("person.3.fill")},
        {QStringLiteral("zoom"), QStringLiteral("video.fill")},
        {QStringLiteral("video"), QStringLiteral("video.fill")},
        {QStringLiteral("call"), QStringLiteral("phone.fill")},
        {QStringLiteral("calls"), QStringLiteral("phone.fill")},
        {QStringLiteral("oncall"), QStringLiteral("phone.fill")},
        {QStringLiteral("entertainment"), QStringLiteral("play.circle.fill")},
        {QStringLiteral("media"), QStringLiteral("film.fill")},
        {QStringLiteral("movies"), QStringLiteral("film.fill")},
        {QStringLiteral("music"), QStringLiteral("music.note")},
        {QStringLiteral("stream"), QStringLiteral("tv.fill")},
        {QStringLiteral("podcast"), QStringLiteral("headphones")},
        {QStringLiteral("management"), QStringLiteral("list.clipboard.fill")},
        {QStringLiteral("tasks"), QStringLiteral("checkmark.circle.fill")},
        {QStringLiteral("todo"), QStringLiteral("checkmark.circle.fill")},
        {QStringLiteral("to do"), QStringLiteral("checkmark.circle.fill")},
        {QStringLiteral("kanban"), QStringLiteral("rectangle.stack.fill")},
        {QStringLiteral("tabs"), QStringLiteral("rectangle.stack.fill")},
        {QStringLiteral("jira"), QStringLiteral("ticket.fill")},
        {QStringLiteral("marketing"), QStringLiteral("megaphone.fill")},
        {QStringLiteral("sales"), QStringLiteral("chart.pie.fill")},
        {QStringLiteral("analytics"), QStringLiteral("chart.line.uptrend.xyaxis")},
        {QStringLiteral("metrics"), QStringLiteral("chart.line.uptrend.xyaxis")},
        {QStringLiteral("tech"), QStringLiteral("desktopcomputer")},
        {QStringLiteral("infrastructure"), QStringLiteral("network")},
        {QStringLiteral("cloud"), QStringLiteral("icloud.fill")},
        {QStringLiteral("aws"), QStringLiteral("icloud.fill")},
        {QStringLiteral("azure"), QStringLiteral("icloud.fill")},
        {QStringLiteral("gcp"), QStringLiteral("icloud.fill")},
        {QStringLiteral("database"), QStringLiteral("externaldrive.fill")},
        {QStringLiteral("db"), QStringLiteral("externaldrive.fill")},
        {QStringLiteral("backup"), QStringLiteral("externaldrive.fill")},
        {QStringLiteral("security"), QStringLiteral("lock.fill")},
        {QStringLiteral("admin"), QStringLiteral("gearshape.fill")},
        {QStringLiteral("settings"), QStringLiteral("gearshape.fill")},
        {QStringLiteral("config"), QStringLiteral("gearshape.fill")},
        {QStringLiteral("ops"), QStringLiteral("wrench.and.screwdriver.fill")},
        {QStringLiteral("incident"), QStringLiteral("exclamationmark.triangle.fill")},
        {QStringLiteral("monitoring"), QStringLiteral("waveform.path.ecg")},
        {QStringLiteral("logs"), QStringLiteral("doc.text.magnifyingglass")},
        {QStringLiteral("alerts"), QStringLiteral("bell.fill")},
        {QStringLiteral("browser"), QStringLiteral("safari.fill")},
        {QStringLiteral("safari"), QStringLiteral("safari.fill")},
        {QStringLiteral("bookmarks"), QStringLiteral("bookmark.fill")},
        {QStringLiteral("archive"), QStringLiteral("archivebox.fill")},
        {QStringLiteral("tools"), QStringLiteral("wrench.fill")},
        {QStringLiteral("misc"), QStringLiteral("square.grid.2x2")},
        {QStringLiteral("sandbox"), QStringLiteral("puzzlepiece.fill")},
        {QStringLiteral("temp"), QStringLiteral("hourglass")},
    };
    return table;
}

} // namespace

const QList<WorkspaceAppearance::IconCategory>& WorkspaceAppearance::categorizedIcons() {
    static const QList<IconCategory> categories = {
        {QStringLiteral("Work"),
         {QStringLiteral("briefcase.fill"),
          QStringLiteral("doc.text.fill"),
          QStringLiteral("doc.plaintext"),
          QStringLiteral("doc.on.doc.fill"),
          QStringLiteral("calendar"),
          QStringLiteral("calendar.badge.clock"),
          QStringLiteral("envelope.fill"),
          QStringLiteral("paperclip"),
          QStringLiteral("printer.fill"),
          QStringLiteral("tray.full.fill"),
          QStringLiteral("tray.2.fill"),
          QStringLiteral("folder.fill"),
          QStringLiteral("folder.badge.person.crop"),
          QStringLiteral("folder.badge.gearshape"),
          QStringLiteral("archivebox.fill"),
          QStringLiteral("shippingbox.fill"),
          QStringLiteral("chart.bar.fill"),
          QStringLiteral("chart.line.uptrend.xyaxis"),
          QStringLiteral("chart.pie.fill"),
          QStringLiteral("list.clipboard.fill"),
          QStringLiteral("checkmark.seal.fill"),
          QStringLiteral("signature"),
          QStringLiteral("building.2.fill"),
          QStringLiteral("person.2.fill"),
          QStringLiteral("megaphone.fill"),
          QStringLiteral("phone.fill"),
          QStringLiteral("clock.fill"),
          QStringLiteral("timer")}},
        {QStringLiteral("Coding"),
         {QStringLiteral("chevron.left.forwardslash.chevron.right"),
          QStringLiteral("curlybraces"),
          QStringLiteral("ellipsis.curlybraces"),
          QStringLiteral("terminal.fill"),
          QStringLiteral("apple.terminal.fill"),
          QStringLiteral("hammer.fill"),
          QStringLiteral("wrench.and.screwdriver.fill"),
          QStringLiteral("wrench.fill"),
          QStringLiteral("cpu.fill"),
          QStringLiteral("memorychip.fill"),
          QStringLiteral("externaldrive.fill"),
          QStringLiteral("server.rack"),
          QStringLiteral("network"),
          QStringLiteral("arrow.triangle.branch"),
          QStringLiteral("ladybug.fill"),
          QStringLiteral("testtube.2"),
          QStringLiteral("qrcode"),
          QStringLiteral("qrcode.viewfinder"),
          QStringLiteral("number"),
          QStringLiteral("function"),
          QStringLiteral("gearshape.fill"),
          QStringLiteral("bolt.fill")}},
        {QStringLiteral("Design"),
         {QStringLiteral("paintbrush.fill"), QStringLiteral("paintbrush.pointed.fill"),
          QStringLiteral("paintpalette.fill"), QStringLiteral("swatchpalette.fill"),
          QStringLiteral("eyedropper.full"), QStringLiteral("pencil.tip"),
          QStringLiteral("pencil.tip.crop.circle"), QStringLiteral("ruler.fill"), QStringLiteral("crop"),
          QStringLiteral("lasso"), QStringLiteral("wand.and.stars"), QStringLiteral("sparkles"),
          QStringLiteral("theatermasks.fill"), QStringLiteral("photo.artframe"), QStringLiteral("photo.fill"),
          QStringLiteral("square.grid.2x2")}},
        {QStringLiteral("Study"),
         {QStringLiteral("book.fill"), QStringLiteral("text.book.closed.fill"),
          QStringLiteral("bookmark.fill"), QStringLiteral("character.book.closed.fill"),
          QStringLiteral("graduationcap.fill"), QStringLiteral("studentdesk"),
          QStringLiteral("brain.head.profile"), QStringLiteral("lightbulb.fill"),
          QStringLiteral("pencil.and.ruler.fill"), QStringLiteral("pencil.and.outline"),
          QStringLiteral("highlighter"), QStringLiteral("note.text"), QStringLiteral("quote.opening"),
          QStringLiteral("globe.americas.fill"), QStringLiteral("backpack.fill"),
          QStringLiteral("magnifyingglass")}},
        {QStringLiteral("Personal"),
         {QStringLiteral("house.fill"), QStringLiteral("person.fill"), QStringLiteral("heart.fill"),
          QStringLiteral("star.fill"), QStringLiteral("camera.fill"), QStringLiteral("photo.fill"),
          QStringLiteral("gift.fill"), QStringLiteral("cup.and.saucer.fill"), QStringLiteral("figure.walk"),
          QStringLiteral("figure.run"), QStringLiteral("cart.fill"), QStringLiteral("creditcard.fill"),
          QStringLiteral("handbag.fill"), QStringLiteral("fork.knife"), QStringLiteral("bed.double.fill"),
          QStringLiteral("car.fill")}},
        {QStringLiteral("Communication"),
         {QStringLiteral("message.fill"), QStringLiteral("bubble.left.fill"),
          QStringLiteral("bubble.right.fill"), QStringLiteral("bubble.left.and.bubble.right.fill"),
          QStringLiteral("video.fill"), QStringLiteral("mic.fill"), QStringLiteral("phone.fill"),
          QStringLiteral("envelope.fill"), QStringLiteral("person.2.fill"), QStringLiteral("person.3.fill"),
          QStringLiteral("shared.with.you"), QStringLiteral("at")}},
        {QStringLiteral("Entertainment"),
         {QStringLiteral("gamecontroller.fill"), QStringLiteral("headphones"), QStringLiteral("music.note"),
          QStringLiteral("music.mic"), QStringLiteral("film.fill"), QStringLiteral("tv.fill"),
          QStringLiteral("play.circle.fill"), QStringLiteral("popcorn.fill"),
          QStringLiteral("die.face.5.fill"), QStringLiteral("sportscourt.fill"),
          QStringLiteral("ticket.fill"), QStringLiteral("party.popper.fill"), QStringLiteral("pianokeys"),
          QStringLiteral("guitars.fill"), QStringLiteral("arcade.stick"), QStringLiteral("sparkles.tv")}},
        {QStringLiteral("Browser"),
         {QStringLiteral("safari.fill"), QStringLiteral("globe"), QStringLiteral("globe.europe.africa.fill"),
          QStringLiteral("network"), QStringLiteral("rectangle.stack.fill"),
          QStringLiteral("square.on.square"), QStringLiteral("link"), QStringLiteral("link.circle.fill"),
          QStringLiteral("bookmark.fill"), QStringLiteral("book.fill"),
          QStringLiteral("text.magnifyingglass"), QStringLiteral("shield.fill")}},
        {QStringLiteral("Tech"),
         {QStringLiteral("desktopcomputer"), QStringLiteral("laptopcomputer"), QStringLiteral("display"),
          QStringLiteral("macwindow.on.rectangle"), QStringLiteral("iphone"), QStringLiteral("ipad"),
          QStringLiteral("applewatch"), QStringLiteral("hifispeaker.fill"), QStringLiteral("keyboard.fill"),
          QStringLiteral("computermouse.fill"), QStringLiteral("globe"), QStringLiteral("wifi"),
          QStringLiteral("antenna.radiowaves.left.and.right"), QStringLiteral("icloud.fill"),
          QStringLiteral("link"), QStringLiteral("command")}},
        {QStringLiteral("Science"),
         {QStringLiteral("atom"), QStringLiteral("flask.fill"), QStringLiteral("testtube.2"),
          QStringLiteral("microbe.fill"), QStringLiteral("scope"), QStringLiteral("waveform.path.ecg"),
          QStringLiteral("chart.xyaxis.line"), QStringLiteral("gyroscope")}},
        {QStringLiteral("Nature"),
         {QStringLiteral("leaf.fill"), QStringLiteral("flame.fill"), QStringLiteral("bolt.fill"),
          QStringLiteral("sun.max.fill"), QStringLiteral("moon.fill"), QStringLiteral("moon.stars.fill"),
          QStringLiteral("cloud.fill"), QStringLiteral("snowflake"), QStringLiteral("drop.fill"),
          QStringLiteral("wind"), QStringLiteral("water.waves"), QStringLiteral("tree.fill"),
          QStringLiteral("mountain.2.fill"), QStringLiteral("hurricane"), QStringLiteral("rainbow"),
          QStringLiteral("sparkles")}},
        {QStringLiteral("Travel"),
         {QStringLiteral("airplane"), QStringLiteral("tram.fill"), QStringLiteral("bus.fill"),
          QStringLiteral("car.fill"), QStringLiteral("ferry.fill"), QStringLiteral("bicycle"),
          QStringLiteral("mappin.circle.fill"), QStringLiteral("map.fill"), QStringLiteral("binoculars.fill"),
          QStringLiteral("suitcase.fill"), QStringLiteral("tent.fill"), QStringLiteral("compass.drawing")}},
        {QStringLiteral("Misc"),
         {QStringLiteral("square.grid.2x2"),
          QStringLiteral("rectangle.stack"),
          QStringLiteral("flag.fill"),
          QStringLiteral("puzzlepiece.fill"),
          QStringLiteral("bell.fill"),
          QStringLiteral("tag.fill"),
          QStringLiteral("shield.fill"),
          QStringLiteral("lock.fill"),
          QStringLiteral("key.fill"),
          QStringLiteral("pin.fill"),
          QStringLiteral("archivebox.fill"),
          QStringLiteral("trash.fill"),
          QStringLiteral("gearshape.fill"),
          QStringLiteral("slider.horizontal.3"),
          QStringLiteral("eyeglasses"),
          QStringLiteral("hourglass"),
          QStringLiteral("timer"),
          QStringLiteral("stopwatch.fill"),
          QStringLiteral("battery.100.bolt"),
          QStringLiteral("lifepreserver.fill"),
          QStringLiteral("cross.fill"),
          QStringLiteral("bandage.fill"),
          QStringLiteral("trophy.fill"),
          QStringLiteral("medal.fill"),
          QStringLiteral("rosette"),
          QStringLiteral("crown.fill"),
          QStringLiteral("barcode"),
          QStringLiteral("target"),
          QStringLiteral("diamond.fill"),
          QStringLiteral("hexagon.fill"),
          QStringLiteral("seal.fill"),
          QStringLiteral("capsule.fill"),
          QStringLiteral("cube.fill"),
          QStringLiteral("square.stack.3d.up.fill")}},
    };
    return categories;
}

const QStringList& WorkspaceAppearance::availableIcons() {
    static const QStringList icons = [] {
        QStringList all;
        for (const IconCategory& category : categorizedIcons()) {
            all += category.icons;
        }
        return all;
    }();
    return icons;
}

const QList<WorkspaceAppearance::ColourPair>& WorkspaceAppearance::availableGradients() {
    static const QList<ColourPair> pairs = {
        {QStringLiteral("red"), QStringLiteral("red")},
        {QStringLiteral("orange"), QStringLiteral("orange")},
        {QStringLiteral("yellow"), QStringLiteral("yellow")},
        {QStringLiteral("green"), QStringLiteral("green")},
        {QStringLiteral("mint"), QStringLiteral("mint")},
        {QStringLiteral("teal"), QStringLiteral("teal")},
        {QStringLiteral("cyan"), QStringLiteral("cyan")},
        {QStringLiteral("blue"), QStringLiteral("blue")},
        {QStringLiteral("indigo"), QStringLiteral("indigo")},
        {QStringLiteral("purple"), QStringLiteral("purple")},
        {QStringLiteral("pink"), QStringLiteral("pink")},
        {QStringLiteral("red"), QStringLiteral("orange")},
        {QStringLiteral("orange"), QStringLiteral("yellow")},
        {QStringLiteral("pink"), QStringLiteral("orange")},
        {QStringLiteral("yellow"), QStringLiteral("orange")},
        {QStringLiteral("blue"), QStringLiteral("cyan")},
        {QStringLiteral("cyan"), QStringLiteral("teal")},
        {QStringLiteral("indigo"), QStringLiteral("blue")},
        {QStringLiteral("teal"), QStringLiteral("blue")},
        {QStringLiteral("blue"), QStringLiteral("indigo")},
        {QStringLiteral("purple"), QStringLiteral("pink")},
        {QStringLiteral("pink"), QStringLiteral("purple")},
        {QStringLiteral("indigo"), QStringLiteral("purple")},
        {QStringLiteral("green"), QStringLiteral("mint")},
        {QStringLiteral("mint"), QStringLiteral("teal")},
        {QStringLiteral("mint"), QStringLiteral("green")},
        {QStringLiteral("green"), QStringLiteral("yellow")},
        {QStringLiteral("cyan"), QStringLiteral("indigo")},
        {QStringLiteral("orange"), QStringLiteral("red")},
        {QStringLiteral("mint"), QStringLiteral("cyan")},
        {QStringLiteral("teal"), QStringLiteral("indigo")},
        {QStringLiteral("indigo"), QStringLiteral("cyan")},
    };
    return pairs;
}

quint64 WorkspaceAppearance::nameHash(const QString& name) {
    quint64 hash = 14695981039346656037ULL;
    for (const char byte : name.toUtf8()) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 1099511628211ULL;
    }
    return hash;
}

std::optional<QString> WorkspaceAppearance::iconForCommonTitle(const QString& title) {
    QString text = title.toLower();
    const auto isBlank = [](QChar ch) { return ch == QLatin1Char(' ') || ch == QLatin1Char('\t'); };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin))) {
        ++begin;
    }
    while (end > begin && isBlank(text.at(end - 1))) {
        --end;
    }
    text = text.mid(begin, end - begin);
    if (text.isEmpty()) {
        return std::nullopt;
    }
    const Keyword* best = nullptr;
    for (const Keyword& keyword : keywords()) {
        if (keyword.word == text) {
            return keyword.icon;
        }
        // The longest word found is the most specific one ("devops" rather than "dev" or "ops").
        if (text.contains(keyword.word) && (!best || keyword.word.size() > best->word.size())) {
            best = &keyword;
        }
    }
    if (best) {
        return best->icon;
    }
    return std::nullopt;
}

QString WorkspaceAppearance::resolvedIconName(const std::optional<QString>& iconName, const QString& name) {
    if (iconName) {
        return *iconName;
    }
    if (auto common = iconForCommonTitle(name)) {
        return *common;
    }
    // Seven apart from the colour index, so icon and colour of one name vary independently.
    return availableIcons().at(static_cast<qsizetype>((nameHash(name) + 7) % iconCount));
}

qsizetype WorkspaceAppearance::resolvedGradientIndex(const std::optional<qint64>& gradientIndex,
                                                     const QString& name) {
    if (gradientIndex) {
        return gradientIndexInRange(*gradientIndex);
    }
    return static_cast<qsizetype>(nameHash(name) % gradientCount);
}

qsizetype WorkspaceAppearance::gradientIndexInRange(qint64 index) {
    return static_cast<qsizetype>(((index % gradientCount) + gradientCount) % gradientCount);
}
