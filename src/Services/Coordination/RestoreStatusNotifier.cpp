#include "Services/Coordination/RestoreStatusNotifier.h"

RestoreStatusNotifier& RestoreStatusNotifier::shared() {
    // Never destroyed: observers may post and listen until the process ends.
    static RestoreStatusNotifier* instance = new RestoreStatusNotifier();
    return *instance;
}
