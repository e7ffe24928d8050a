// TLS on one client link, through GnuTLS. The handshake travels inside pre-login messages as
// TDS carries it; afterwards the records go straight over the socket, carrying TDS packets.
#pragma once

#include "state/SecurityOptions.h"

#include <QByteArray>
#include <functional>
#include <gnutls/gnutls.h>

namespace sqlsim::tds {

class TlsChannel {
public:
    /// The client's next handshake message; false when the link ended or the message was not a
    /// pre-login one.
    using ReadWrapped = std::function<bool(QByteArray& payload)>;
    /// Sends the server's handshake bytes as a pre-login message; false when the link failed.
    using SendWrapped = std::function<bool(const QByteArray& payload)>;

    /// Loads the certificate and key the options name. Throws std::runtime_error.
    TlsChannel(int fd, const SecurityOptions& options);
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    /// Runs the server's side of the handshake. Throws std::runtime_error when it fails.
    void handshake(const ReadWrapped& read, const SendWrapped& send);

    /// False when the client closed the link; throws std::runtime_error for a broken record.
    bool readExact(char* buffer, int size);
    bool writeAll(const char* data, qsizetype size);
    /// Decrypted bytes wait that the socket no longer shows as readable.
    bool hasBuffered() const;

private:
    static ssize_t pull(gnutls_transport_ptr_t self, void* data, size_t size);
    static ssize_t push(gnutls_transport_ptr_t self, const void* data, size_t size);
    ssize_t pullWrapped(void* data, size_t size);

    int m_fd;
    gnutls_certificate_credentials_t m_credentials = nullptr;
    gnutls_session_t m_session = nullptr;
    // Set while the handshake runs: its bytes go through pre-login messages.
    const ReadWrapped* m_readWrapped = nullptr;
    const SendWrapped* m_sendWrapped = nullptr;
    QByteArray m_input;
    qsizetype m_inputAt = 0;
    QByteArray m_output;
};

} // namespace sqlsim::tds
