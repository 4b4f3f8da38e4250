#include "Services/Coordination/RestoreCoordinator.h"

RestoreCoordinator& RestoreCoordinator::shared() {
    // Never destroyed: restores may still read it while the process ends.
    static RestoreCoordinator* instance = new RestoreCoordinator();
    return *instance;
}
