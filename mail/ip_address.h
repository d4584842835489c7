#pragma once

#include <QString>
#include <array>
#include <cstdint>

struct sockaddr;

// An IPv4 or IPv6 address as the mail transport uses it: parsed from and printed in the
// strict textual forms, so that a name that merely looks numeric goes to the resolver.
class IpAddress
{
public:
    enum class Family { None, IPv4, IPv6 };

    IpAddress() = default;
    // "192.0.2.1", "2001:db8::1" or, for IPv6, with a zone as in "fe80::1%eth0";
    // anything else gives an address with family None.
    static IpAddress parse(const QString &text);
    // The address of an AF_INET or AF_INET6 socket address; the zone is not kept.
    static IpAddress fromSockaddr(const struct sockaddr *address);

    bool isNull() const { return m_family == Family::None; }
    Family family() const { return m_family; }
    // Network byte order; the first 4 bytes for IPv4, all 16 for IPv6.
    const std::array<std::uint8_t, 16> &bytes() const { return m_bytes; }
    QString toString() const;

    bool operator==(const IpAddress &other) const
    {
        return m_family == other.m_family && m_bytes == other.m_bytes && m_zone == other.m_zone;
    }
    bool operator!=(const IpAddress &other) const { return !(*this == other); }

private:
    Family m_family = Family::None;
    std::array<std::uint8_t, 16> m_bytes{};
    QString m_zone;
};
