#pragma once

// Runs restores one at a time. For now it only carries the flag that asks a running restore to
// stop; the restore engine reads it at its cancellation points.
class RestoreCoordinator {
public:
    static RestoreCoordinator& shared();

    bool cancellationRequested() const { return m_cancellationRequested; }
    void setCancellationRequested(bool requested) { m_cancellationRequested = requested; }

private:
    bool m_cancellationRequested = false;
};
