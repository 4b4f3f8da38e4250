#include "Platform/Platform.h"

#include "Platform/SystemClock.h"

namespace {

std::shared_ptr<Platform>& slot() {
    static std::shared_ptr<Platform> current = [] {
        auto p = std::make_shared<Platform>();
        p->clock = std::make_shared<SystemClock>();
        return p;
    }();
    return current;
}

} // namespace

Platform& Platform::current() {
    return *slot();
}

std::shared_ptr<Platform> Platform::install(std::shared_ptr<Platform> platform) {
    std::shared_ptr<Platform> previous = std::move(slot());
    slot() = std::move(platform);
    return previous;
}
