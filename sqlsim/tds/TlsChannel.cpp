#include "TlsChannel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <sys/socket.h>

namespace sqlsim::tds {

namespace {

// TDS 7.x wraps a TLS 1.2 handshake (1.3 belongs to TDS 8, where TLS comes first). No session
// tickets: one after the handshake would reach a client that has stopped unwrapping.
constexpr const char* kPriorities = "NORMAL:-VERS-ALL:+VERS-TLS1.2";

std::runtime_error tlsError(const char* what, int code)
{
    return std::runtime_error(std::string("TLS ") + what + ": " + gnutls_strerror(code));
}

} // namespace

TlsChannel::TlsChannel(int fd, const SecurityOptions& options)
    : m_fd(fd)
{
    int result = gnutls_certificate_allocate_credentials(&m_credentials);
    if (result < 0)
        throw tlsError("credentials", result);
    result = gnutls_certificate_set_x509_key_file(m_credentials, options.certificateFile.toLocal8Bit().constData(),
                                                  options.keyFile.toLocal8Bit().constData(), GNUTLS_X509_FMT_PEM);
    if (result < 0) {
        gnutls_certificate_free_credentials(m_credentials);
        throw tlsError("certificate", result);
    }
    result = gnutls_init(&m_session, GNUTLS_SERVER | GNUTLS_NO_TICKETS);
    if (result >= 0)
        result = gnutls_priority_set_direct(m_session, kPriorities, nullptr);
    if (result >= 0)
        result = gnutls_credentials_set(m_session, GNUTLS_CRD_CERTIFICATE, m_credentials);
    if (result < 0) {
        gnutls_deinit(m_session);
        gnutls_certificate_free_credentials(m_credentials);
        throw tlsError("session", result);
    }
    gnutls_transport_set_ptr(m_session, this);
    gnutls_transport_set_pull_function(m_session, &TlsChannel::pull);
    gnutls_transport_set_push_function(m_session, &TlsChannel::push);
}

TlsChannel::~TlsChannel()
{
    gnutls_deinit(m_session);
    gnutls_certificate_free_credentials(m_credentials);
}

void TlsChannel::handshake(const ReadWrapped& read, const SendWrapped& send)
{
    m_readWrapped = &read;
    m_sendWrapped = &send;
    int result = 0;
    do {
        result = gnutls_handshake(m_session);
    } while (result < 0 && !gnutls_error_is_fatal(result));
    // The server's last flight (or its alert) still waits in the buffer.
    const bool flushed = m_output.isEmpty() || send(m_output);
    m_output.clear();
    m_readWrapped = nullptr;
    m_sendWrapped = nullptr;
    if (result < 0)
        throw tlsError("handshake", result);
    if (!flushed)
        throw std::runtime_error("TLS handshake: the client left before its end");
}

ssize_t TlsChannel::pull(gnutls_transport_ptr_t self, void* data, size_t size)
{
    auto* channel = static_cast<TlsChannel*>(self);
    if (channel->m_readWrapped)
        return channel->pullWrapped(data, size);
    for (;;) {
        const ssize_t got = ::recv(channel->m_fd, data, size, 0);
        if (got >= 0 || errno != EINTR) {
            if (got < 0)
                gnutls_transport_set_errno(channel->m_session, errno);
            return got;
        }
    }
}

ssize_t TlsChannel::pullWrapped(void* data, size_t size)
{
    while (m_inputAt == m_input.size()) {
        // The client answers only once it has everything the server has to say.
        if (!m_output.isEmpty()) {
            const bool sent = (*m_sendWrapped)(m_output);
            m_output.clear();
            if (!sent) {
                gnutls_transport_set_errno(m_session, ECONNRESET);
                return -1;
            }
        }
        m_inputAt = 0;
        if (!(*m_readWrapped)(m_input)) {
            m_input.clear();
            gnutls_transport_set_errno(m_session, ECONNRESET);
            return -1;
        }
    }
    const size_t count = std::min(size, size_t(m_input.size() - m_inputAt));
    std::memcpy(data, m_input.constData() + m_inputAt, count);
    m_inputAt += qsizetype(count);
    return ssize_t(count);
}

ssize_t TlsChannel::push(gnutls_transport_ptr_t self, const void* data, size_t size)
{
    auto* channel = static_cast<TlsChannel*>(self);
    if (channel->m_sendWrapped) {
        channel->m_output.append(static_cast<const char*>(data), qsizetype(size));
        return ssize_t(size);
    }
    for (;;) {
        const ssize_t sent = ::send(channel->m_fd, data, size, MSG_NOSIGNAL);
        if (sent >= 0 || errno != EINTR) {
            if (sent < 0)
                gnutls_transport_set_errno(channel->m_session, errno);
            return sent;
        }
    }
}

bool TlsChannel::readExact(char* buffer, int size)
{
    int done = 0;
    while (done < size) {
        const ssize_t got = gnutls_record_recv(m_session, buffer + done, size_t(size - done));
        if (got == GNUTLS_E_INTERRUPTED || got == GNUTLS_E_AGAIN)
            continue;
        // A client that just goes away (with or without its close alert) ends the link cleanly.
        if (got == 0 || got == GNUTLS_E_PREMATURE_TERMINATION || got == GNUTLS_E_PULL_ERROR)
            return false;
        if (got < 0)
            throw tlsError("record", int(got));
        done += int(got);
    }
    return true;
}

bool TlsChannel::writeAll(const char* data, qsizetype size)
{
    qsizetype done = 0;
    while (done < size) {
        const ssize_t sent = gnutls_record_send(m_session, data + done, size_t(size - done));
        if (sent == GNUTLS_E_INTERRUPTED || sent == GNUTLS_E_AGAIN)
            continue;
        if (sent <= 0)
            return false;
        done += sent;
    }
    return true;
}

bool TlsChannel::hasBuffered() const
{
    return gnutls_record_check_pending(m_session) > 0;
}

} // namespace sqlsim::tds
