#include "Login7.h"

#include "Bytes.h"

namespace sqlsim::tds {

namespace {

// 2.2.6.4 LOGIN7: the fixed fields, then (offset, length) pairs in characters.
constexpr int kMinimumLength = 86;   // through the cbSSPI/AtchDBFile fields of TDS 7.1
enum FieldOffset {
    TdsVersionAt = 4, ClientPidAt = 16, OptionFlags2At = 25,
    HostNameAt = 36, UserNameAt = 40, PasswordAt = 44, AppNameAt = 48, ServerNameAt = 52,
    LanguageAt = 64, DatabaseAt = 68, ClientIdAt = 72, SspiAt = 78,
    // 7.2 and later: a 32-bit SSPI length after the change-password field, for cbSSPI 0xFFFF.
    SspiLongAt = 90,
};
constexpr std::uint32_t kTds72 = 0x72090002;
constexpr std::uint8_t kIntegratedSecurity = 0x80;   // OptionFlags2 fIntSecurity

struct Field {
    int offset = 0;
    int chars = 0;
};

std::optional<Field> field(const QByteArray& payload, int at)
{
    const Field f{getU16(payload.constData() + at), getU16(payload.constData() + at + 2)};
    if (f.chars > 0 && (f.offset < kMinimumLength || f.offset + 2 * f.chars > payload.size()))
        return std::nullopt;
    return f;
}

} // namespace

QString decodePassword(const char* bytes, int chars)
{
    QByteArray clear(bytes, chars * 2);
    for (char& c : clear) {
        const auto b = std::uint8_t(std::uint8_t(c) ^ 0xA5);
        c = char(std::uint8_t((b << 4) | (b >> 4)));
    }
    return getUcs2(clear.constData(), chars);
}

std::optional<Login7> parseLogin7(const QByteArray& payload)
{
    if (payload.size() < kMinimumLength)
        return std::nullopt;
    const char* p = payload.constData();
    if (getU32(p) != std::uint32_t(payload.size()))
        return std::nullopt;

    Login7 login;
    login.tdsVersion = getU32(p + TdsVersionAt);
    login.info.integratedSecurity = (std::uint8_t(p[OptionFlags2At]) & kIntegratedSecurity) != 0;
    login.info.hostProcess = QString::number(getU32(p + ClientPidAt));

    const std::pair<int, QString*> texts[] = {
        {HostNameAt, &login.info.host}, {UserNameAt, &login.info.login},
        {AppNameAt, &login.info.program}, {LanguageAt, &login.info.language},
        {DatabaseAt, &login.info.database},
    };
    for (const auto& [at, target] : texts) {
        const auto f = field(payload, at);
        if (!f)
            return std::nullopt;
        *target = getUcs2(p + f->offset, f->chars);
    }
    const auto password = field(payload, PasswordAt);
    const auto server = field(payload, ServerNameAt);
    if (!password || !server)
        return std::nullopt;
    login.info.password = decodePassword(p + password->offset, password->chars);

    // ibSSPI and cbSSPI count bytes, not characters.
    const int sspiOffset = getU16(p + SspiAt);
    qint64 sspiLength = getU16(p + SspiAt + 2);
    if (sspiLength == 0xFFFF && login.tdsVersion >= kTds72 && payload.size() >= SspiLongAt + 4)
        sspiLength = getU32(p + SspiLongAt);
    if (sspiLength > 0) {
        if (sspiOffset < kMinimumLength || sspiOffset + sspiLength > payload.size())
            return std::nullopt;
        login.sspi = payload.mid(sspiOffset, qsizetype(sspiLength));
    }
    login.info.netAddress = payload.mid(ClientIdAt, 6).toHex().toUpper();
    return login;
}

} // namespace sqlsim::tds
