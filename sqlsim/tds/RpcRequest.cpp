#include "RpcRequest.h"

#include "Bytes.h"

#include <QDate>
#include <QDateTime>
#include <cstring>

namespace sqlsim::tds {

namespace {

// 2.2.6.6 ProcIDs of the procedures a client may call by number.
QString procedureOfId(std::uint16_t id)
{
    static const char* const names[] = {nullptr, "sp_cursor", "sp_cursoropen", "sp_cursorprepare",
                                        "sp_cursorexecute", "sp_cursorprepexec", "sp_cursorunprepare",
                                        "sp_cursorfetch", "sp_cursoroption", "sp_cursorclose",
                                        "sp_executesql", "sp_prepare", "sp_execute", "sp_prepexec",
                                        "sp_prepexecrpc", "sp_unprepare"};
    return id > 0 && id < std::size(names) ? QString::fromLatin1(names[id]) : QStringLiteral("#%1").arg(id);
}

// A reader that fails softly: past the end every read gives nothing and marks the input bad.
class Reader {
public:
    explicit Reader(const QByteArray& bytes) : m_bytes(bytes) {}

    bool atEnd() const { return m_at >= m_bytes.size(); }
    bool bad() const { return m_bad; }

    const char* take(qsizetype size)
    {
        if (m_bad || size < 0 || m_bytes.size() - m_at < size) {
            m_bad = true;
            return nullptr;
        }
        const char* p = m_bytes.constData() + m_at;
        m_at += size;
        return p;
    }
    std::uint8_t u8()
    {
        const char* p = take(1);
        return p ? std::uint8_t(*p) : 0;
    }
    std::uint16_t u16()
    {
        const char* p = take(2);
        return p ? getU16(p) : 0;
    }
    std::uint32_t u32()
    {
        const char* p = take(4);
        return p ? getU32(p) : 0;
    }
    QString ucs2(int chars)
    {
        const char* p = take(qsizetype(chars) * 2);
        return p ? getUcs2(p, chars) : QString();
    }
    std::uint8_t peek() const { return atEnd() ? 0 : std::uint8_t(m_bytes[m_at]); }
    void fail() { m_bad = true; }

private:
    const QByteArray& m_bytes;
    qsizetype m_at = 0;
    bool m_bad = false;
};

enum class Length { Fixed, Byte, Short, Long };

struct WireInfo {
    Length length = Length::Fixed;
    int fixedSize = 0;   // bytes of a fixed-length type
    int maxSize = 0;     // the declared maximum of a variable-length type
};

QString decimalText(unsigned __int128 magnitude, bool negative, int scale)
{
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude > 0);
    if (scale > 0) {
        if (digits.size() <= scale)
            digits = QString(scale - digits.size() + 1, u'0') + digits;
        digits.insert(digits.size() - scale, u'.');
    }
    return negative ? u'-' + digits : digits;
}

QDateTime fromDaysAndTicks(qint64 days, qint64 ticks)
{
    const QDate date = QDate(1900, 1, 1).addDays(days);
    return QDateTime(date, QTime(0, 0)).addMSecs((ticks * 10 + 1) / 3);
}

// The value bytes of a parameter as the engine holds them; `type` is already read.
Value readValue(Reader& in, std::uint8_t wire, const Column& column, const QByteArray& data)
{
    switch (column.type) {
    case SqlType::TinyInt:
        return qint64(std::uint8_t(data[0]));
    case SqlType::SmallInt:
        return qint64(qint16(getU16(data.constData())));
    case SqlType::Int:
        return qint64(qint32(getU32(data.constData())));
    case SqlType::BigInt:
        return qint64(getU32(data.constData())) | (qint64(getU32(data.constData() + 4)) << 32);
    case SqlType::Bit:
        return qint64(data[0] != 0);
    case SqlType::Float:
        if (data.size() == 4) {
            float f;
            std::memcpy(&f, data.constData(), 4);
            return double(f);
        } else {
            double d;
            std::memcpy(&d, data.constData(), 8);
            return d;
        }
    case SqlType::Decimal: {
        if (wire == 0x3C || wire == 0x7A || wire == 0x6E) {   // money: scaled by 10,000
            const qint64 scaled = data.size() == 4
                ? qint64(qint32(getU32(data.constData())))
                : qint64((quint64(getU32(data.constData())) << 32) | getU32(data.constData() + 4));
            const bool negative = scaled < 0;
            return decimalText(negative ? 0 - quint64(scaled) : quint64(scaled), negative, 4);
        }
        unsigned __int128 magnitude = 0;
        for (qsizetype i = data.size() - 1; i >= 1; --i)
            magnitude = (magnitude << 8) | std::uint8_t(data[i]);
        return decimalText(magnitude, data[0] == 0, column.scale);
    }
    case SqlType::DateTime:
        if (data.size() == 4)
            return fromDaysAndTicks(getU16(data.constData()), qint64(getU16(data.constData() + 2)) * 60 * 300);
        return fromDaysAndTicks(qint32(getU32(data.constData())), getU32(data.constData() + 4));
    case SqlType::NChar:
    case SqlType::NVarChar:
        if (data.size() % 2 != 0) {
            in.fail();
            return {};
        }
        return getUcs2(data.constData(), int(data.size() / 2));
    case SqlType::Char:
    case SqlType::VarChar:
        return QString::fromLatin1(data);
    default:
        return data;
    }
}

// TYPE_INFO (2.2.5.6) of a parameter: its engine column and how its value's length is given.
std::optional<WireInfo> readTypeInfo(Reader& in, std::uint8_t wire, Column& column)
{
    const auto fixed = [&](SqlType type, int size) {
        column.type = type;
        return WireInfo{Length::Fixed, size, size};
    };
    const auto sized = [&](SqlType type, Length length) -> std::optional<WireInfo> {
        column.type = type;
        const int size = length == Length::Byte ? in.u8() : length == Length::Short ? in.u16() : int(in.u32() & 0x7FFFFFFF);
        return WireInfo{length, 0, size};
    };
    switch (wire) {
    case 0x1F: return fixed(SqlType::Int, 0);   // NULLTYPE
    case 0x30: return fixed(SqlType::TinyInt, 1);
    case 0x32: return fixed(SqlType::Bit, 1);
    case 0x34: return fixed(SqlType::SmallInt, 2);
    case 0x38: return fixed(SqlType::Int, 4);
    case 0x7F: return fixed(SqlType::BigInt, 8);
    case 0x3B: return fixed(SqlType::Float, 4);
    case 0x3E: return fixed(SqlType::Float, 8);
    case 0x3A: return fixed(SqlType::DateTime, 4);
    case 0x3D: return fixed(SqlType::DateTime, 8);
    case 0x7A: column.precision = 10; column.scale = 4; return fixed(SqlType::Decimal, 4);
    case 0x3C: column.precision = 19; column.scale = 4; return fixed(SqlType::Decimal, 8);
    case 0x26: {
        auto info = sized(SqlType::Int, Length::Byte);
        if (info->maxSize != 1 && info->maxSize != 2 && info->maxSize != 4 && info->maxSize != 8)
            return std::nullopt;
        column.type = info->maxSize == 1 ? SqlType::TinyInt : info->maxSize == 2 ? SqlType::SmallInt
            : info->maxSize == 4 ? SqlType::Int : SqlType::BigInt;
        return info;
    }
    case 0x68: return sized(SqlType::Bit, Length::Byte);
    case 0x6D: return sized(SqlType::Float, Length::Byte);
    case 0x6F: return sized(SqlType::DateTime, Length::Byte);
    case 0x6E: column.precision = 19; column.scale = 4; return sized(SqlType::Decimal, Length::Byte);
    case 0x6A:
    case 0x6C: {
        auto info = sized(SqlType::Decimal, Length::Byte);
        column.precision = in.u8();
        column.scale = in.u8();
        if (column.precision < 1 || column.precision > 38 || column.scale > column.precision)
            return std::nullopt;
        return info;
    }
    case 0x25: return sized(SqlType::VarBinary, Length::Byte);
    case 0x2D: return sized(SqlType::Binary, Length::Byte);
    case 0x27: return sized(SqlType::VarChar, Length::Byte);
    case 0x2F: return sized(SqlType::Char, Length::Byte);
    case 0xA5: return sized(SqlType::VarBinary, Length::Short);
    case 0xAD: return sized(SqlType::Binary, Length::Short);
    case 0x22: return sized(SqlType::VarBinary, Length::Long);   // image
    case 0xA7:
    case 0xAF:
    case 0xE7:
    case 0xEF:
    case 0x23:    // text
    case 0x63: {  // ntext
        const bool unicode = wire == 0xE7 || wire == 0xEF || wire == 0x63;
        const bool fixedLength = wire == 0xAF || wire == 0xEF;
        auto info = sized(unicode ? (fixedLength ? SqlType::NChar : SqlType::NVarChar)
                                  : (fixedLength ? SqlType::Char : SqlType::VarChar),
                          wire == 0x23 || wire == 0x63 ? Length::Long : Length::Short);
        in.take(5);   // collation
        return info;
    }
    default:
        return std::nullopt;
    }
}

std::optional<RpcParameter> readParameter(Reader& in)
{
    RpcParameter parameter;
    parameter.name = in.ucs2(in.u8());
    parameter.output = (in.u8() & 0x01) != 0;
    const std::uint8_t wire = in.u8();
    const std::optional<WireInfo> info = readTypeInfo(in, wire, parameter.type);
    if (!info || in.bad())
        return std::nullopt;
    const bool unicode = parameter.type.type == SqlType::NChar || parameter.type.type == SqlType::NVarChar;
    parameter.type.size = unicode ? info->maxSize / 2 : info->maxSize;
    qint64 length = info->fixedSize;
    bool null = wire == 0x1F;
    switch (info->length) {
    case Length::Fixed:
        break;
    case Length::Byte:
        length = in.u8();
        null = length == 0 && parameter.type.type != SqlType::VarChar && parameter.type.type != SqlType::VarBinary
            && parameter.type.type != SqlType::Char && parameter.type.type != SqlType::Binary;
        break;
    case Length::Short:
        length = in.u16();
        null = length == 0xFFFF;
        break;
    case Length::Long:
        length = in.u32();
        null = length == 0xFFFFFFFF;
        break;
    }
    if (null || in.bad())
        return in.bad() ? std::nullopt : std::optional<RpcParameter>(parameter);
    if (info->length != Length::Fixed && info->length != Length::Long && length > info->maxSize)
        return std::nullopt;
    // A fixed-size type in a variable-length form must have one of its sizes.
    const bool numeric = parameter.type.type != SqlType::VarChar && parameter.type.type != SqlType::Char
        && !unicode && parameter.type.type != SqlType::VarBinary && parameter.type.type != SqlType::Binary;
    if (numeric && parameter.type.type != SqlType::Decimal && info->length == Length::Byte && length != info->maxSize)
        return std::nullopt;
    if (numeric && parameter.type.type == SqlType::Decimal && wire != 0x6E && length < 2)
        return std::nullopt;
    if (parameter.type.type == SqlType::Decimal && wire == 0x6E && length != 4 && length != 8)
        return std::nullopt;
    if (parameter.type.type == SqlType::DateTime && length != 4 && length != 8)
        return std::nullopt;
    if (parameter.type.type == SqlType::Float && length != 4 && length != 8)
        return std::nullopt;
    if (parameter.type.type == SqlType::Decimal && wire != 0x6E && wire != 0x3C && wire != 0x7A && length > 17)
        return std::nullopt;
    const char* bytes = in.take(length);
    if (!bytes)
        return std::nullopt;
    parameter.value = readValue(in, wire, parameter.type, QByteArray(bytes, length));
    if (in.bad())
        return std::nullopt;
    return parameter;
}

} // namespace

std::optional<std::vector<RpcCall>> parseRpcRequest(const QByteArray& payload)
{
    Reader in(payload);
    std::vector<RpcCall> calls;
    while (!in.atEnd()) {
        RpcCall call;
        const std::uint16_t nameLength = in.u16();
        call.procedure = nameLength == 0xFFFF ? procedureOfId(in.u16()) : in.ucs2(nameLength);
        in.u16();   // option flags: recompile, no metadata; nothing the simulator keeps
        // Parameters run to the end or to a batch flag (0x80; 0xFF from 7.2 on; 0xFE: no exec).
        while (!in.atEnd() && in.peek() != 0x80 && in.peek() != 0xFF && in.peek() != 0xFE) {
            std::optional<RpcParameter> parameter = readParameter(in);
            if (!parameter)
                return std::nullopt;
            call.parameters.push_back(std::move(*parameter));
        }
        if (in.bad() || call.procedure.isEmpty())
            return std::nullopt;
        calls.push_back(std::move(call));
        if (!in.atEnd())
            in.u8();
    }
    if (calls.empty())
        return std::nullopt;
    return calls;
}

} // namespace sqlsim::tds
