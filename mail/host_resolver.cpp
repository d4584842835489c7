#include "mail/host_resolver.h"

#include <QUrl>
#include <algorithm>

#if defined(Q_OS_WIN)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

bool IsLocalNetworkAddress(const IpAddress &address)
{
    const auto &a = address.bytes();
    const bool v4Mapped = address.family() == IpAddress::Family::IPv6
                          && std::all_of(a.begin(), a.begin() + 10, [](std::uint8_t b) { return b == 0; })
                          && a[10] == 0xFF && a[11] == 0xFF;
    if (address.family() == IpAddress::Family::IPv4 || v4Mapped) {
        const std::uint8_t *v4 = a.data() + (v4Mapped ? 12 : 0);
        return v4[0] == 127                              // 127.0.0.0/8
               || v4[0] == 10                            // 10.0.0.0/8
               || (v4[0] == 172 && (v4[1] & 0xF0) == 16) // 172.16.0.0/12
               || (v4[0] == 192 && v4[1] == 168)         // 192.168.0.0/16
               || (v4[0] == 169 && v4[1] == 254);        // 169.254.0.0/16
    }
    if (address.family() != IpAddress::Family::IPv6)
        return false;
    const bool loopback = std::all_of(a.begin(), a.end() - 1, [](std::uint8_t b) { return b == 0; }) && a[15] == 1;
    return loopback
           || (a[0] & 0xFE) == 0xFC                      // fc00::/7 unique local
           || (a[0] == 0xFE && (a[1] & 0xC0) == 0x80);   // fe80::/10 link local
}

Resolution SystemResolver::resolve(const QString &host) const
{
    Resolution result;
    const IpAddress literal = IpAddress::parse(host);
    if (!literal.isNull()) {
        result.addresses << literal;
        return result;
    }
    // The name as the DNS knows it: international names in their xn-- form.
    const QByteArray name = QUrl::toAce(host);
    if (name.isEmpty()) {
        result.error = host.isEmpty() ? QStringLiteral("No host name given") : QStringLiteral("Invalid hostname");
        return result;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // Only the families this machine has a non-loopback address in: an IPv6 address on an
    // IPv4-only machine could neither be reached nor should it decide the password rule.
    // With no network at all glibc gives both families, so names on this machine still work.
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo *list = nullptr;
    int status = getaddrinfo(name.constData(), nullptr, &hints, &list);
    if (status == EAI_BADFLAGS) {
        hints.ai_flags = 0;
        status = getaddrinfo(name.constData(), nullptr, &hints, &list);
    }
    if (status != 0) {
        result.error = QString::fromLocal8Bit(gai_strerror(status));
        return result;
    }
    for (const addrinfo *entry = list; entry; entry = entry->ai_next) {
        const IpAddress address = IpAddress::fromSockaddr(entry->ai_addr);
        if (!address.isNull() && !result.addresses.contains(address))
            result.addresses << address;
    }
    freeaddrinfo(list);
    return result;
}
