// The LOGIN7 reader on arbitrary bytes, and on logins written from arbitrary texts: a login
// written as a client writes it reads back with the same names, password, flags and SSPI bytes.
#include "WireText.h"
#include "tds/Bytes.h"
#include "tds/Login7.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

using namespace sqlsim;
using namespace sqlsim::fuzz;
using namespace sqlsim::tds;

namespace {

QByteArray scrambled(const QString& password)
{
    QByteArray bytes;
    putUcs2(bytes, password);
    for (char& c : bytes) {
        const auto b = std::uint8_t(c);
        c = char(std::uint8_t(((b << 4) | (b >> 4)) ^ 0xA5));
    }
    return bytes;
}

// The 7.1 layout: fixed part of 86 bytes with (offset, length) pairs, then the texts.
QByteArray login7(const LoginInfo& info, const QByteArray& sspi, std::uint32_t version, std::uint32_t pid)
{
    QByteArray host, user, app, server, library, language, database;
    putUcs2(host, info.host);
    putUcs2(user, info.login);
    putUcs2(app, info.program);
    putUcs2(server, QStringLiteral("server"));
    putUcs2(library, QStringLiteral("ODBC"));
    putUcs2(language, info.language);
    putUcs2(database, info.database);
    const QByteArray texts[] = {host, user, scrambled(info.password), app, server, {}, library,
                                language, database};
    QByteArray fixed;
    putU32(fixed, 0);
    putU32(fixed, version);
    putU32(fixed, 4096);
    putU32(fixed, 7);
    putU32(fixed, pid);
    putU32(fixed, 0);
    fixed.append('\0').append(char(info.integratedSecurity ? 0x80 : 0)).append('\0').append('\0');
    putU32(fixed, 0);
    putU32(fixed, 0x0409);
    QByteArray variable;
    for (const QByteArray& text : texts) {
        putU16(fixed, std::uint16_t(86 + variable.size()));
        putU16(fixed, std::uint16_t(text.size() / 2));
        variable += text;
    }
    fixed.append(QByteArray::fromHex("0a0b0c0d0e0f"));
    putU16(fixed, std::uint16_t(86 + variable.size()));   // SSPI
    putU16(fixed, std::uint16_t(sspi.size()));
    variable += sspi;
    putU16(fixed, std::uint16_t(86 + variable.size()));   // attach file
    putU16(fixed, 0);
    QByteArray message = fixed + variable;
    const auto length = std::uint32_t(message.size());
    for (int i = 0; i < 4; ++i)
        message[i] = char((length >> (8 * i)) & 0xFF);
    return message;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool()) {
        const std::string bytes = input.ConsumeRemainingBytesAsString();
        parseLogin7(QByteArray(bytes.data(), qsizetype(bytes.size())));
        return 0;
    }
    LoginInfo info;
    info.host = wireTextFrom(input);
    info.login = wireTextFrom(input);
    info.password = wireTextFrom(input);
    info.program = wireTextFrom(input);
    info.language = wireTextFrom(input);
    info.database = wireTextFrom(input);
    info.integratedSecurity = input.ConsumeBool();
    const std::string sspiBytes = input.ConsumeRandomLengthString(512);
    const QByteArray sspi(sspiBytes.data(), qsizetype(sspiBytes.size()));
    const auto version = input.ConsumeIntegral<std::uint32_t>();
    const auto pid = input.ConsumeIntegral<std::uint32_t>();
    const auto login = parseLogin7(login7(info, sspi, version, pid));
    if (!login || login->tdsVersion != version || login->info.host != info.host
        || login->info.login != info.login || login->info.password != info.password
        || login->info.program != info.program || login->info.language != info.language
        || login->info.database != info.database
        || login->info.integratedSecurity != info.integratedSecurity || login->sspi != sspi
        || login->info.hostProcess != QString::number(pid) || login->info.netAddress != u"0A0B0C0D0E0F")
        std::abort();
    return 0;
}
