#include "store/ServerWatchdog.h"

#include <sys/socket.h>

ServerWatchdog::ServerWatchdog()
    : m_thread([this] { watch(); })
{
}

ServerWatchdog::~ServerWatchdog()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_one();
    m_thread.join();
}

void ServerWatchdog::arm(int socket, std::chrono::milliseconds limit)
{
    {
        const std::lock_guard lock(m_mutex);
        m_socket = socket;
        m_deadline = std::chrono::steady_clock::now() + limit;
        m_fired = false;
    }
    m_changed.notify_one();
}

bool ServerWatchdog::disarm()
{
    const std::lock_guard lock(m_mutex);
    m_socket = -1;
    return m_fired;
}

void ServerWatchdog::watch()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_socket < 0) {
            m_changed.wait(lock);
        } else if (std::chrono::steady_clock::now() < m_deadline) {
            m_changed.wait_until(lock, m_deadline);
        } else {
            // Not close(): the descriptor stays libpq's, so it cannot be
            // reused under it; the blocked read simply ends.
            ::shutdown(m_socket, SHUT_RDWR);
            m_socket = -1;
            m_fired = true;
        }
    }
}
