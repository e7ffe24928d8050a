// A Windows login's SSPI exchange on arbitrary client tokens: the first from the login, the
// later ones as answers to the server's tokens. The service key is a random one of this run,
// in a keytab of its own, so every token ends in a refusal, never in a crash or a leak.
#include "ScratchFile.h"
#include "tds/SspiLogin.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <krb5.h>

#include <cstdint>
#include <cstdlib>

using namespace sqlsim;
using namespace sqlsim::tds;

namespace {

// A keytab holding a random AES key for the service, written once.
QString serviceKeytab()
{
    static const velmora::fuzz::ScratchFile file;
    static const QString path = [] {
        krb5_context context = nullptr;
        krb5_keytab keytab = nullptr;
        krb5_keytab_entry entry{};
        const QByteArray name = "FILE:" + file.path().toLocal8Bit();
        QFile::remove(file.path());
        if (krb5_init_context(&context) != 0 || krb5_kt_resolve(context, name.constData(), &keytab) != 0
            || krb5_parse_name(context, "MSSQLSvc/127.0.0.1:1433@VELMORA.TEST", &entry.principal) != 0
            || krb5_c_make_random_key(context, ENCTYPE_AES256_CTS_HMAC_SHA1_96, &entry.key) != 0)
            std::abort();
        entry.vno = 1;
        if (krb5_kt_add_entry(context, keytab, &entry) != 0)
            std::abort();
        krb5_free_principal(context, entry.principal);
        krb5_free_keyblock_contents(context, &entry.key);
        krb5_kt_close(context, keytab);
        krb5_free_context(context);
        return file.path();
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    SecurityOptions options;
    options.keytab = serviceKeytab();
    const std::string first = input.ConsumeRandomLengthString(4096);
    const SspiOutcome outcome = authenticateSspi(
        options, QByteArray(first.data(), qsizetype(first.size())),
        [&input](const QByteArray&) -> std::optional<QByteArray> {
            if (input.remaining_bytes() == 0)
                return std::nullopt;
            const std::string answer = input.ConsumeRandomLengthString(4096);
            return QByteArray(answer.data(), qsizetype(answer.size()));
        });
    if (!outcome.login.isEmpty() || outcome.error.isEmpty())
        std::abort();
    return 0;
}
