// The settings file on arbitrary bytes: reading never fails, a value read is at most the read
// limit, and a value the program stores reads back as stored (cut to the limit) while the
// other settings keep theirs.
#include "IniFile.h"
#include "ScratchFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

using namespace velmora;

namespace {

// The settings the program keeps, as section and key.
const std::pair<const char*, const char*> settings[] = {
    {"ServerOption", "ServerName"}, {"LoginOption", "LoginName"}, {"SortOption", "Sort"},
};

QString expectedRead(QString value)
{
    if (value.size() > MaxProfileValueLength) {
        value.truncate(MaxProfileValueLength);
        if (value.back().isHighSurrogate())
            value.chop(1);
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzz::ScratchFile file;
    FuzzedDataProvider input(data, size);
    const auto& [section, key] = input.PickValueInArray(settings);
    const std::string valueBytes = input.ConsumeRandomLengthString(300);
    const QString value = QString::fromUtf8(valueBytes.data(), qsizetype(valueBytes.size()));
    file.replace(input.ConsumeRemainingBytesAsString());

    QString before[std::size(settings)];
    for (size_t i = 0; i < std::size(settings); ++i) {
        before[i] = readProfileString(file.path(), QString::fromLatin1(settings[i].first),
                                      QString::fromLatin1(settings[i].second));
        if (before[i].size() > MaxProfileValueLength)
            std::abort();
    }

    writeProfileString(file.path(), QString::fromLatin1(section), QString::fromLatin1(key), value);
    const bool storable = !value.contains(u'\n') && !value.contains(u'\r');
    for (size_t i = 0; i < std::size(settings); ++i) {
        const QString after = readProfileString(file.path(), QString::fromLatin1(settings[i].first),
                                                QString::fromLatin1(settings[i].second));
        const bool written = storable && settings[i].first == section;
        if (after != (written ? expectedRead(value) : before[i]))
            std::abort();
    }
    return 0;
}
