// Debian's squid on the loopback interface, as an office's proxy that asks for a login: for the
// tests of the way through a proxy. It resolves the names it is given to 127.0.0.1 by a hosts file
// of its own, so that those names reach the stand-in only through it.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace ostrel::testing {

class Squid {
public:
    // NtlmAnyLogin: squid's fake NTLM helper, which takes any user and password; Kerberos: a
    // ticket for HTTP/127.0.0.1@KANTOOR.TEST, in the keytab KRB5_KTNAME names (kdc.h); None: no login.
    enum class Login { None, Basic, Digest, NtlmAnyLogin, Kerberos };
    // The one user it takes, with the password, under realm (not for NTLM).
    Squid(int port, Login login, const QString& realm, const QString& user, const QString& password,
          const QStringList& names);
    ~Squid();
    Squid(const Squid&) = delete;
    Squid& operator=(const Squid&) = delete;

    bool started() const { return started_; }
    // The access log's lines so far: "<status> <user> <method> <url>", oldest first.
    QStringList requests() const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    bool started_ = false;
};

} // namespace ostrel::testing
