#include "Support/TestPlatform.h"

TestPlatform::TestPlatform()
    : m_platform(std::make_shared<Platform>())
    , m_clock(std::make_shared<VirtualClock>()) {
    m_platform->clock = m_clock;
    m_previous = Platform::install(m_platform);
}

TestPlatform::~TestPlatform() { Platform::install(m_previous); }
