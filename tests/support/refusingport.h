#pragma once

#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A loopback address whose port refuses connections: a socket is bound to it
// but does not listen, so no other process can start listening there while
// the socket lives.
class RefusingPort
{
public:
    RefusingPort()
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0
            && getsockname(m_fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
            m_port = ntohs(addr.sin_port);
    }
    ~RefusingPort()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    RefusingPort(const RefusingPort &) = delete;
    RefusingPort &operator=(const RefusingPort &) = delete;

    bool isValid() const { return m_port != 0; }
    // "http://127.0.0.1:<port>", without a path.
    QByteArray baseUrl() const { return "http://127.0.0.1:" + QByteArray::number(m_port); }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};
