// The growth per second of each process's cpu and physical_io between two reads of the process
// list. cpu and physical_io are running totals since the process logged in; their growth since the
// previous read shows what a process is using now.
#pragma once

#include "FieldDef.h"

#include <optional>
#include <span>
#include <vector>

namespace velmora {

/// A process's growth per second since the previous read; none where there is nothing to compare.
struct ProcessRate {
    std::optional<double> cpu;
    std::optional<double> physicalIo;
};

class ProcessRates {
public:
    /// Takes a read of the process list whose rows are `rows` with the layout `fields`, made at
    /// `readMs` (milliseconds on any clock the caller keeps to), and gives every process its rate
    /// against the previous read: (value now - value then) / seconds between the reads. A process
    /// is the same one only with the same spid, login_time and ecid; a new one, a counter that went
    /// back, a missing value or a read no later than the previous one gives no rate. Throws DbError
    /// when `fields` lacks spid, login_time, ecid, cpu or physical_io.
    void read(std::span<const Row> rows, const std::vector<FieldDef>& fields, qint64 readMs);
    /// The rate the last read gave the process with these spid, login_time and ecid values; none
    /// for a process the read did not hold.
    ProcessRate rateOf(const QVariant& spid, const QVariant& loginTime, const QVariant& ecid) const;
    /// Forgets every read: the next one is a first read, without rates.
    void clear();

private:
    struct Key {
        int spid;
        qint64 loginMs;   // login_time: a spid given to a newcomer is a new process
        int ecid;
        bool operator==(const Key&) const = default;
    };
    struct Entry {
        Key key;
        std::optional<qint64> cpu;
        std::optional<qint64> physicalIo;
        ProcessRate rate;
    };
    // A read's processes in row order and an open-addressing index over them: a read of 100,000
    // processes allocates nothing once the vectors have grown.
    struct Read {
        std::vector<Entry> entries;
        std::vector<int> places;   // indices into entries, -1 where free; a power of two long
        /// The entry of `key`, null when none.
        const Entry* find(const Key& key) const;
        void buildPlaces();
    };

    static Key keyOf(const QVariant& spid, const QVariant& loginTime, const QVariant& ecid);

    Read m_last;   // the last read; empty before the first
    Read m_next;   // the storage the next read fills, the one before the last
    std::optional<qint64> m_lastMs;
    mutable size_t m_nextAsked = 0;   // the entry after the one rateOf() found last
};

} // namespace velmora
