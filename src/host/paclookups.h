// The name lookups a proxy script's helper functions need (dnsResolve, myIpAddress), for the
// script's engine to call.
#pragma once

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QObject>
#include <QString>

namespace ostrel::host {

class PacLookups : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QString resolve(const QString& host) const
    {
        if (const QHostAddress literal(host); !literal.isNull())
            return literal.protocol() == QAbstractSocket::IPv4Protocol ? literal.toString() : QString();
        for (const QHostAddress& address : QHostInfo::fromName(host).addresses())
            if (address.protocol() == QAbstractSocket::IPv4Protocol)
                return address.toString();
        return {};
    }
    Q_INVOKABLE QString myAddress() const
    {
        for (const QHostAddress& address : QNetworkInterface::allAddresses())
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
                return address.toString();
        return QStringLiteral("127.0.0.1");
    }
};

} // namespace ostrel::host
