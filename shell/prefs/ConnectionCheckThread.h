// ConnectionCheckThread: runs the Server page's connection test off the GUI thread. The page hands it,
// on the GUI thread, what the test needs (the request taken from the server and the test itself); Run
// calls the test and gives its answer to the answer callback on this thread (the page queues it to
// itself). Owned by the page, which starts it for each test and stops it when it goes: Stop cancels a
// test still waiting for its answer and joins. The check and the request are set only while no test
// runs; the answered flag is the one field both threads touch.
#pragma once

#include "core/thread/AThread.h"
#include "service/server/QuilloServer.h"
#include "shell/prefs/OptionEnvironment.h"

#include <atomic>
#include <functional>

namespace Vuxo {

class ConnectionCheckThread final : public AThread {
public:
    using Answer = std::function<void(bool reachable)>;

    explicit ConnectionCheckThread(Answer answer) : m_answer(std::move(answer)) {}
    ~ConnectionCheckThread() override { Stop(); }

    // Starts `check` on `request`; false while a test runs.
    bool StartCheck(ConnectionCheck check, RunningCheckRequest request);

    int Run() override;

protected:
    // A test that has answered is not cancelled: the check's cancel may end every later test too.
    void Interrupt() override;

private:
    Answer m_answer;
    ConnectionCheck m_check;
    RunningCheckRequest m_request;
    std::atomic<bool> m_answered{false};
};

} // namespace Vuxo
