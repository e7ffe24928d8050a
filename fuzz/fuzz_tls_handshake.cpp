// The server's TLS handshake inside pre-login messages on arbitrary client messages: each ends in
// a completed handshake or an error, never a crash, a hang or a leak. The certificate is a
// throw-away one of this run.
#include "ScratchFile.h"
#include "tds/TlsChannel.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <gnutls/x509.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <stdexcept>

using namespace sqlsim;
using namespace sqlsim::tds;

namespace {

void writePem(const velmora::fuzz::ScratchFile& file, const gnutls_datum_t& pem)
{
    file.replace(std::string_view(reinterpret_cast<const char*>(pem.data), pem.size));
}

// A self-signed ECDSA certificate and its key, made once.
const SecurityOptions& serverOptions()
{
    static const velmora::fuzz::ScratchFile certificateFile;
    static const velmora::fuzz::ScratchFile keyFile;
    static const SecurityOptions options = [] {
        gnutls_x509_privkey_t key = nullptr;
        gnutls_x509_crt_t certificate = nullptr;
        const unsigned char serial = 1;
        const time_t now = std::time(nullptr);
        if (gnutls_x509_privkey_init(&key) < 0
            || gnutls_x509_privkey_generate(key, GNUTLS_PK_ECDSA, GNUTLS_CURVE_TO_BITS(GNUTLS_ECC_CURVE_SECP256R1), 0) < 0
            || gnutls_x509_crt_init(&certificate) < 0 || gnutls_x509_crt_set_version(certificate, 3) < 0
            || gnutls_x509_crt_set_serial(certificate, &serial, 1) < 0
            || gnutls_x509_crt_set_activation_time(certificate, now - 60) < 0
            || gnutls_x509_crt_set_expiration_time(certificate, now + 86400) < 0
            || gnutls_x509_crt_set_dn_by_oid(certificate, GNUTLS_OID_X520_COMMON_NAME, 0, "127.0.0.1", 9) < 0
            || gnutls_x509_crt_set_key(certificate, key) < 0
            || gnutls_x509_crt_sign2(certificate, certificate, key, GNUTLS_DIG_SHA256, 0) < 0)
            std::abort();
        gnutls_datum_t pem{};
        if (gnutls_x509_crt_export2(certificate, GNUTLS_X509_FMT_PEM, &pem) < 0)
            std::abort();
        writePem(certificateFile, pem);
        gnutls_free(pem.data);
        if (gnutls_x509_privkey_export2(key, GNUTLS_X509_FMT_PEM, &pem) < 0)
            std::abort();
        writePem(keyFile, pem);
        gnutls_free(pem.data);
        gnutls_x509_crt_deinit(certificate);
        gnutls_x509_privkey_deinit(key);
        SecurityOptions made;
        made.certificateFile = certificateFile.path();
        made.keyFile = keyFile.path();
        return made;
    }();
    return options;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    // No socket: the handshake reads and writes pre-login messages only.
    TlsChannel channel(-1, serverOptions());
    try {
        channel.handshake(
            [&input](QByteArray& payload) {
                if (input.remaining_bytes() == 0)
                    return false;
                const std::string message = input.ConsumeRandomLengthString(8192);
                payload = QByteArray(message.data(), qsizetype(message.size()));
                return true;
            },
            [](const QByteArray&) { return true; });
    } catch (const std::runtime_error&) {
    }
    return 0;
}
