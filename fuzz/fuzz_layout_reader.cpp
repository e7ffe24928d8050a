// The layout-file reader on arbitrary bytes: it either refuses the file with its error or
// gives columns that write out and read back again.
#include "ColumnLayout.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    velmora::GridColumns columns;
    try {
        columns = velmora::decodeColumnLayout(bytes);
    } catch (const velmora::ObjectStreamError&) {
        return 0;
    }
    try {
        velmora::decodeColumnLayout(velmora::encodeColumnLayout(columns, [](int) { return 64; }));
    } catch (const velmora::ObjectStreamError&) {
        std::abort();   // what was read must write out readably
    }
    return 0;
}
