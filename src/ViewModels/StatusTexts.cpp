#include "ViewModels/StatusTexts.h"

#include "Models/RestoreReport.h"

namespace StatusTexts {

QString restoreResult(const RestoreReport& report) {
    switch (report.status) {
    case RestoreStatus::restored:
        return StatusTexts::restored;
    case RestoreStatus::cancelled:
        return StatusTexts::cancelled;
    case RestoreStatus::partiallyRestored:
    case RestoreStatus::skipped:
    case RestoreStatus::failed:
        break;
    }
    return report.isolatedSummary();
}

QString revertResult(const RestoreReport& report) {
    switch (report.status) {
    case RestoreStatus::restored:
        return StatusTexts::reverted;
    case RestoreStatus::failed:
        return StatusTexts::revertFailed;
    case RestoreStatus::cancelled:
        return StatusTexts::cancelled;
    case RestoreStatus::partiallyRestored:
    case RestoreStatus::skipped:
        break;
    }
    return report.isolatedSummary();
}

} // namespace StatusTexts
