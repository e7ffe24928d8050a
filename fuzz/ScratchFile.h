// A file of the target's own, for the readers that open a file by name: each input replaces
// its contents. It lives in a private directory in memory (/dev/shm) when there is one, so
// that the writer's save-and-rename works as on disk.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <string_view>

namespace velmora::fuzz {

class ScratchFile {
public:
    ScratchFile()
        : m_dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/velmora-fuzz-XXXXXX")
                                                          : QDir::temp().filePath(QStringLiteral("velmora-fuzz-XXXXXX")))
    {
        if (!m_dir.isValid())
            std::abort();
    }

    void replace(std::string_view contents) const
    {
        QFile file(path());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(contents.data(), qint64(contents.size())) != qint64(contents.size()))
            std::abort();
    }
    QString path() const { return m_dir.filePath(QStringLiteral("file")); }

private:
    QTemporaryDir m_dir;
};

} // namespace velmora::fuzz
