#include "ViewModels/PermissionGrants.h"

#include "Platform/Accessibility.h"
#include "Platform/Platform.h"
#include "Platform/ScreenCapture.h"

PermissionGrants PermissionGrants::read() {
    const Platform& platform = Platform::current();
    return PermissionGrants{platform.accessibility && platform.accessibility->isProcessTrusted(),
                            platform.screenCapture && platform.screenCapture->preflightAccess()};
}

QCoro::Task<void> PermissionGrants::requestScreenRecording() {
    // Held for the whole wait, so the service outlives the answer.
    const std::shared_ptr<ScreenCapture> capture = Platform::current().screenCapture;
    if (capture) {
        co_await capture->requestAccess();
    }
}
