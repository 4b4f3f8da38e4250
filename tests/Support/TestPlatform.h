#pragma once

#include "Platform/Platform.h"
#include "Platform/Simulated/VirtualClock.h"
#include "Support/QtPrinters.h"

#include <memory>

// Installs a fresh Platform with a VirtualClock for the lifetime of the object (one per test),
// and puts the previous one back afterwards. Further simulated ports are set on platform().
class TestPlatform {
public:
    TestPlatform();
    ~TestPlatform();
    TestPlatform(const TestPlatform&) = delete;
    TestPlatform& operator=(const TestPlatform&) = delete;

    Platform& platform() { return *m_platform; }
    VirtualClock& clock() { return *m_clock; }

private:
    std::shared_ptr<Platform> m_platform;
    std::shared_ptr<VirtualClock> m_clock;
    std::shared_ptr<Platform> m_previous;
};
