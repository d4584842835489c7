#include "mail/host_resolver.h"

#include <QHostInfo>

bool IsLocalNetworkAddress(const QHostAddress &address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    if (mapped) {
        return (v4 >> 24) == 127                  // 127.0.0.0/8
               || (v4 >> 24) == 10                // 10.0.0.0/8
               || (v4 >> 20) == (0xAC10 >> 4)     // 172.16.0.0/12
               || (v4 >> 16) == 0xC0A8            // 192.168.0.0/16
               || (v4 >> 16) == 0xA9FE;           // 169.254.0.0/16
    }
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return false;
    if (address.isLoopback())
        return true;
    const Q_IPV6ADDR a = address.toIPv6Address();
    return (a[0] & 0xFE) == 0xFC                     // fc00::/7 unique local
           || (a[0] == 0xFE && (a[1] & 0xC0) == 0x80); // fe80::/10 link local
}

Resolution SystemResolver::resolve(const QString &host) const
{
    const QHostInfo info = QHostInfo::fromName(host);
    Resolution result;
    if (info.error() == QHostInfo::NoError)
        result.addresses = info.addresses();
    else
        result.error = info.errorString();
    return result;
}
