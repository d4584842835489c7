#include "mail/ip_address.h"

#include <cstring>

#if defined(Q_OS_WIN)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

IpAddress IpAddress::parse(const QString &text)
{
    IpAddress result;
    const int percent = text.indexOf(QLatin1Char('%'));
    const QByteArray bare = text.left(percent).toLatin1();
    // inet_pton would stop at a NUL and accept what comes before it.
    if (bare.contains('\0') || (percent >= 0 && percent + 1 == text.size()))
        return result;
    if (percent < 0 && inet_pton(AF_INET, bare.constData(), result.m_bytes.data()) == 1) {
        result.m_family = Family::IPv4;
    } else if (inet_pton(AF_INET6, bare.constData(), result.m_bytes.data()) == 1) {
        result.m_family = Family::IPv6;
        if (percent >= 0)
            result.m_zone = text.mid(percent + 1);
    } else {
        result.m_bytes.fill(0);
    }
    return result;
}

IpAddress IpAddress::fromSockaddr(const struct sockaddr *address)
{
    IpAddress result;
    if (address->sa_family == AF_INET) {
        const auto *in = reinterpret_cast<const sockaddr_in *>(address);
        std::memcpy(result.m_bytes.data(), &in->sin_addr, sizeof in->sin_addr);
        result.m_family = Family::IPv4;
    } else if (address->sa_family == AF_INET6) {
        const auto *in6 = reinterpret_cast<const sockaddr_in6 *>(address);
        std::memcpy(result.m_bytes.data(), &in6->sin6_addr, sizeof in6->sin6_addr);
        result.m_family = Family::IPv6;
    }
    return result;
}

QString IpAddress::toString() const
{
    if (isNull())
        return {};
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(m_family == Family::IPv4 ? AF_INET : AF_INET6, m_bytes.data(), text, sizeof text);
    QString result = QString::fromLatin1(text);
    if (!m_zone.isEmpty())
        result += QLatin1Char('%') + m_zone;
    return result;
}
