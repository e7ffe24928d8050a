#include "ProcessRates.h"

#include "RequiredField.h"
#include "ValueCompare.h"

#include <QDateTime>
#include <array>
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

size_t hashOf(qint64 loginMs, int spid, int ecid)
{
    // Many processes share a login second, and spids run in sequence: every bit is mixed.
    quint64 h = quint64(loginMs) * 0x9E3779B97F4A7C15ull + (quint64(quint16(spid)) << 16 | quint16(ecid));
    h = (h ^ h >> 30) * 0xBF58476D1CE4E5B9ull;
    h = (h ^ h >> 27) * 0x94D049BB133111EBull;
    return size_t(h ^ h >> 31);
}

} // namespace

const ProcessRates::Entry* ProcessRates::Read::find(const Key& key) const
{
    if (places.empty())
        return nullptr;
    const size_t mask = places.size() - 1;
    for (size_t slot = hashOf(key.loginMs, key.spid, key.ecid) & mask;; slot = (slot + 1) & mask) {
        const int entry = places[slot];
        if (entry < 0)
            return nullptr;
        if (entries[size_t(entry)].key == key)
            return &entries[size_t(entry)];
    }
}

void ProcessRates::Read::buildPlaces()
{
    size_t size = 16;
    while (size < entries.size() * 2)
        size *= 2;
    places.assign(size, -1);
    const size_t mask = size - 1;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Key& key = entries[i].key;
        size_t slot = hashOf(key.loginMs, key.spid, key.ecid) & mask;
        while (places[slot] >= 0 && !(entries[size_t(places[slot])].key == key))
            slot = (slot + 1) & mask;
        // A process listed twice keeps its first row.
        if (places[slot] < 0)
            places[slot] = int(i);
    }
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

    m_next.entries.clear();
    m_next.entries.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i + rowPrefetchDistance < rows.size())
            prefetchValues(rows[i + rowPrefetchDistance], std::array{spid, loginTime, ecid, cpu, physicalIo});
        const Row& row = rows[i];
        Entry entry{keyOf(row[spid], row[loginTime], row[ecid]), counter(row[cpu]), counter(row[physicalIo]), {}};
        if (interval) {
            // The server lists its processes in much the same order every time.
            const Entry* before = i < m_last.entries.size() && m_last.entries[i].key == entry.key
                                      ? &m_last.entries[i]
                                      : m_last.find(entry.key);
            if (before)
                entry.rate = {growth(before->cpu, entry.cpu, seconds),
                              growth(before->physicalIo, entry.physicalIo, seconds)};
        }
        m_next.entries.push_back(entry);
    }
    m_next.buildPlaces();
    std::swap(m_last, m_next);
    m_lastMs = readMs;
    m_nextAsked = 0;
}

ProcessRate ProcessRates::rateOf(const QVariant& spid, const QVariant& loginTime, const QVariant& ecid) const
{
    const Key key = keyOf(spid, loginTime, ecid);
    // The list's calculated fields ask row after row in the order of the read.
    const std::vector<Entry>& entries = m_last.entries;
    const Entry* found = m_nextAsked < entries.size() && entries[m_nextAsked].key == key ? &entries[m_nextAsked]
                                                                                          : m_last.find(key);
    if (!found)
        return {};
    m_nextAsked = size_t(found - entries.data()) + 1;
    return found->rate;
}

void ProcessRates::clear()
{
    m_last.entries.clear();
    m_last.places.clear();
    m_lastMs.reset();
}

} // namespace velmora
