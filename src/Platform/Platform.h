#pragma once

#include <QString>

#include <functional>
#include <memory>

class Clock;
class Accessibility;
class RunningApplications;
class WindowServer;
class Screens;
class ScriptRunner;
class HotKeys;
class UserNotifications;
class LoginItems;
class ScreenCapture;
class SystemInfo;
class Prompts;
class InstalledApplications;

// The desktop services the system runs on, one instance of each port. The process has one
// current Platform, installed at start-up; tests install a simulated one. Process-wide services
// read their ports from here instead of reaching for globals of their own.
struct Platform {
    std::shared_ptr<Clock> clock;
    std::shared_ptr<Accessibility> accessibility;
    std::shared_ptr<RunningApplications> runningApplications;
    std::shared_ptr<WindowServer> windowServer;
    std::shared_ptr<Screens> screens;
    std::shared_ptr<ScriptRunner> scriptRunner;
    std::shared_ptr<HotKeys> hotKeys;
    std::shared_ptr<UserNotifications> userNotifications;
    std::shared_ptr<LoginItems> loginItems;
    std::shared_ptr<ScreenCapture> screenCapture;
    std::shared_ptr<SystemInfo> systemInfo;
    std::shared_ptr<Prompts> prompts;
    std::shared_ptr<InstalledApplications> installedApplications;
    // The identifier the desktop's file manager runs under where it answers the file-manager
    // scripts as an application of its own (on Linux, the folder handler's desktop-file id, asked
    // each time since the user may choose another); unset where only the classic identifier
    // stands for it.
    std::function<QString()> fileManagerIdentifier;
    // Whether the display composites windows, so that a translucent window shows what lies behind
    // it (without a compositor it shows black); unset, it does not.
    std::function<bool()> windowsComposited;

    // The current platform. Before anything was installed it holds a real clock and nothing else.
    static Platform& current();
    // Makes platform the current one and returns the one it replaces.
    static std::shared_ptr<Platform> install(std::shared_ptr<Platform> platform);
};
