// RunningCheckCancel: lets another thread end a QuilloServer::RunningCheck in progress at once (it then
// gives false); a check that starts after Cancel gives false without asking. The one who runs the check on
// a worker thread (the Server page of the preferences) owns it and keeps it alive until the check
// returned. Cancel may be called from any thread; one mutex guards the flag and the connection in use.
#pragma once

#include <mutex>

namespace Vuxo {

class BareHttpConnection;

class RunningCheckCancel {
public:
    RunningCheckCancel() = default;
    RunningCheckCancel(const RunningCheckCancel&) = delete;
    RunningCheckCancel& operator=(const RunningCheckCancel&) = delete;

    void Cancel();

    // While it lives, Cancel also cancels `connection` (nothing when `cancel` is null).
    class Scope {
    public:
        Scope(RunningCheckCancel* cancel, BareHttpConnection& connection);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

        // Cancel came before the connection was attached.
        bool CameTooLate() const { return m_tooLate; }

    private:
        RunningCheckCancel* m_cancel;
        bool m_tooLate = false;
    };

private:
    std::mutex m_mutex;
    bool m_cancelled = false;
    BareHttpConnection* m_connection = nullptr;
};

} // namespace Vuxo
