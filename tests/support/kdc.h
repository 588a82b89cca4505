// A Kerberos realm on the loopback interface, as an office's domain: MIT's KDC with the user
// agent@KANTOOR.TEST (password "geheim") and the proxy's service HTTP/127.0.0.1 in a keytab that
// squid's helper reads. While it lives, the process's KRB5_CONFIG, KRB5CCNAME and KRB5_KTNAME
// point into it: set before squid starts, which inherits them.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace ostrel::testing {

class Kdc {
public:
    explicit Kdc(int port);
    ~Kdc();

    bool started() const { return started_; }
    // The user's ticket, as a login to the office's computer gets it.
    bool Kinit();

private:
    QTemporaryDir dir_;
    QProcess kdc_;
    bool started_ = false;
};

} // namespace ostrel::testing
