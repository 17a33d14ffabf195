#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Ends the wait for a server that does not answer. libpq waits for an answer
// without a limit, and the server's statement_timeout is kept by the server
// process itself: one that is stopped, or a machine cut off the network,
// never ends that wait, and the window would hang with it. While armed, a
// thread of its own shuts the connection's socket down once the time is up;
// libpq then finds the connection closed and the statement fails.
class ServerWatchdog
{
public:
    ServerWatchdog();
    ~ServerWatchdog();
    ServerWatchdog(const ServerWatchdog&) = delete;
    ServerWatchdog& operator=(const ServerWatchdog&) = delete;

    // Watches socket from now until disarm(); -1 watches nothing.
    void arm(int socket, std::chrono::milliseconds limit);
    // True when the time ran out since arm(): the socket is shut down.
    bool disarm();

private:
    void watch();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_socket = -1;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_fired = false;
    bool m_stopping = false;
    std::thread m_thread; // last: starts once the rest is set up
};
