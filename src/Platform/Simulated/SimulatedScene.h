#pragma once

#include <QJsonObject>
#include <QString>

class SimulatedDesktop;

// Loads a scene (screens, installed and running applications, their windows) from JSON into a
// simulated desktop, for tests, demos and screenshots.
//
// {
//   "screens": [{"displayNumber": 1, "identity": "<UUID>", "name": "...",
//                "frame": {"x":0,"y":0,"width":1440,"height":900}, "visibleFrame": {...}}],
//   "mainScreen": 0,
//   "applications": [{"bundleIdentifier": "...", "name": "...", "pid": 501,
//                     "activationPolicy": "regular" | "accessory" | "prohibited",
//                     "running": true, "installed": true, "hidden": false, "finishedLaunching": true,
//                     "refusesQuit": false, "quitDelay": 0, "launchDelay": 0,
//                     "finishLaunchingDelay": 0, "windowDelay": 0,
//                     "windows": [{"title": "...", "document": "...", "frame": {...},
//                                  "subrole": "AXStandardWindow" | null, "minimized": false,
//                                  "fullScreen": false, "onScreen": true,
//                                  "minimumSize": {"width": 400, "height": 300},
//                                  "ignoresMoves": false, "moveDelay": 0}]}],
//   "frontmost": "<bundle identifier>"
// }
//
// Delays are in seconds. Applications are listed front to back, and so are the windows of each:
// the first window listed is the frontmost. Every other key of an application or window is kept
// in its sceneData, for models that attach to the windows (browser tabs, file-manager folders).
// A scene adds to what the desktop already holds (its screens replace the desktop's when it lists
// any). It is checked completely before anything is changed, so a faulty one changes nothing.
class SimulatedScene {
public:
    struct LoadResult {
        bool ok = false;
        // What is wrong with the scene, naming the faulty entry.
        QString error;
        // The whole scene as read, for extra sections other models read.
        QJsonObject scene;
    };

    static LoadResult loadFile(const QString& path, SimulatedDesktop& desktop);
    static LoadResult load(const QJsonObject& scene, SimulatedDesktop& desktop);
    // The demo scene that ships with the program (a resource of the program itself).
    static QString demoScenePath();
};
