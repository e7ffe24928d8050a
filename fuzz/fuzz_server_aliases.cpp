// The FreeTDS configuration file on arbitrary bytes: the aliases are named sections, each
// listed once, none of them [global], and each one is recognised by name.
#include "ScratchFile.h"
#include "ServerAliases.h"

#include <cstdint>
#include <cstdlib>

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzz::ScratchFile file;
    file.replace({reinterpret_cast<const char*>(data), size});
    const QStringList aliases = serverAliases(file.path());
    for (qsizetype i = 0; i < aliases.size(); ++i) {
        const QString& name = aliases[i];
        if (name.isEmpty() || name.compare(u"global", Qt::CaseInsensitive) == 0
            || !isServerAlias(name, file.path()))
            std::abort();
        for (qsizetype j = i + 1; j < aliases.size(); ++j)
            if (aliases[j].compare(name, Qt::CaseInsensitive) == 0)
                std::abort();
        aliasTdsVersion(name, file.path());
    }
    return 0;
}
