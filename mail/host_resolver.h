#pragma once

#include "mail/ip_address.h"

#include <QList>
#include <QString>

// True for addresses that stay on this machine or in a private network: loopback,
// the private IPv4 ranges, link-local, IPv6 unique-local, and IPv4-mapped forms of these.
bool IsLocalNetworkAddress(const IpAddress &address);

// What a host name resolved to; empty `addresses` means the name is unknown.
struct Resolution
{
    QList<IpAddress> addresses;
    QString error;
};

// Name service of the mail transport. The transport resolves once, decides from the
// addresses whether a password may travel unencrypted, and connects to exactly those
// addresses. Called on the control's worker thread.
class HostResolver
{
public:
    virtual ~HostResolver() = default;
    virtual Resolution resolve(const QString &host) const = 0;
    // Whether the address is inside the local network for the password rule.
    virtual bool isLocalNetwork(const IpAddress &address) const { return IsLocalNetworkAddress(address); }
};

// The system's resolver.
class SystemResolver : public HostResolver
{
public:
    Resolution resolve(const QString &host) const override;
};
