#include "ProcessRates.h"

#include "RequiredField.h"
#include "ValueCompare.h"

#include <QDateTime>
#include <limits>

namespace velmora {

namespace {

std::optional<qint64> counter(const QVariant& value)
{
    return isMissing(value) ? std::nullopt : std::optional<qint64>(heldInteger(value));
}

std::optional<double> growth(std::optional<qint64> before, std::optional<qint64> now, double seconds)
{
    // A counter that went back was reset: its growth is unknown, not negative.
    if (!before || !now || *now < *before)
        return std::nullopt;
    return double(*now - *before) / seconds;
}

} // namespace

size_t ProcessRates::KeyHash::operator()(const Key& key) const noexcept
{
    const size_t spidAndEcid = (size_t(quint16(key.spid)) << 16) | size_t(quint16(key.ecid));
    return std::hash<qint64>()(key.loginMs) ^ (spidAndEcid * 0x9E3779B97F4A7C15ull);
}

ProcessRates::Key ProcessRates::keyOf(const QVariant& spid, const QVariant& loginTime, const QVariant& ecid)
{
    return {int(heldInteger(spid)),
            isMissing(loginTime) ? std::numeric_limits<qint64>::min() : wallClockMsecs(loginTime.toDateTime()),
            int(heldInteger(ecid))};
}

void ProcessRates::read(std::span<const Row> rows, const std::vector<FieldDef>& fields, qint64 readMs)
{
    const size_t spid = requiredField(fields, "spid");
    const size_t loginTime = requiredField(fields, "login_time");
    const size_t ecid = requiredField(fields, "ecid");
    const size_t cpu = requiredField(fields, "cpu");
    const size_t physicalIo = requiredField(fields, "physical_io");
    // Two reads in the same millisecond, or a clock that went back (a replay stepping back), have
    // no interval to divide by.
    const bool interval = m_lastMs && readMs > *m_lastMs;
    const double seconds = interval ? double(readMs - *m_lastMs) / 1000.0 : 0.0;

    std::unordered_map<Key, Sample, KeyHash> now;
    now.reserve(rows.size());
    for (const Row& row : rows) {
        Sample sample{counter(row[cpu]), counter(row[physicalIo]), {}};
        const Key key = keyOf(row[spid], row[loginTime], row[ecid]);
        if (interval) {
            const auto before = m_last.find(key);
            if (before != m_last.end())
                sample.rate = {growth(before->second.cpu, sample.cpu, seconds),
                               growth(before->second.physicalIo, sample.physicalIo, seconds)};
        }
        now.emplace(key, sample);
    }
    m_last = std::move(now);
    m_lastMs = readMs;
}

ProcessRate ProcessRates::rateOf(const QVariant& spid, const QVariant& loginTime, const QVariant& ecid) const
{
    const auto found = m_last.find(keyOf(spid, loginTime, ecid));
    return found == m_last.end() ? ProcessRate{} : found->second.rate;
}

void ProcessRates::clear()
{
    m_last.clear();
    m_lastMs.reset();
}

} // namespace velmora
