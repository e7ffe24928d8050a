#include "IniFile.h"

#include "IniFileEncoding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <optional>

namespace velmora {

namespace {

QString besideExecutable(const QString& fileName)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(fileName);
}

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

QString trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin).toString();
}

// "[name]" gives the name; anything else is not a section line.
std::optional<QString> sectionName(const QString& line)
{
    const QString trimmed = trimBlanks(line);
    if (!trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(u']');
    return trimBlanks(QStringView(trimmed).mid(1, close < 0 ? -1 : close - 1));
}

// A key line is "key = value"; its key, or none for a line without "=".
std::optional<QString> keyOf(const QString& line)
{
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    return trimBlanks(QStringView(line).left(equals));
}

// The profile functions drop the blanks around a value and one pair of matching quotes that
// encloses it; the writer quotes a value that would otherwise not read back as written.
QString storedValue(const QString& line)
{
    QString value = trimBlanks(QStringView(line).mid(line.indexOf(u'=') + 1));
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

QString valueToStore(const QString& value)
{
    const bool quoted = value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
                        && value.back() == value.front();
    const bool padded = !value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()));
    return quoted || padded ? u'"' + value + u'"' : value;
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool holdsLineBreak(const QString& text) { return text.contains(u'\n') || text.contains(u'\r'); }

// The file's lines as bytes. Each line is read in its own encoding (UTF-8, or the code page 1251
// of the original platform), a write puts back every line it does not change byte for byte, and
// a line it writes follows the file's encoding.
QList<QByteArray> readLines(const QString& filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().split('\n');
}

QString decoded(QByteArrayView line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return decodeLine(line);
}

// A file with a line in code page 1251 was written on the original platform: new lines follow it.
IniEncoding fileEncoding(const QList<QByteArray>& lines)
{
    const bool windows = std::any_of(lines.begin(), lines.end(), [](const QByteArray& line) {
        return lineEncoding(line) == IniEncoding::Windows1251;
    });
    return windows ? IniEncoding::Windows1251 : IniEncoding::Utf8;
}

QString cutToReadLimit(QString value)
{
    if (value.size() <= MaxProfileValueLength)
        return value;
    value.truncate(MaxProfileValueLength);
    if (value.back().isHighSurrogate())
        value.chop(1);
    return value;
}

} // namespace

QString readProfileString(const QString& filePath, const QString& section, const QString& key)
{
    bool inSection = false;
    for (const QByteArray& bytes : readLines(filePath)) {
        const QString line = decoded(bytes);
        if (const auto name = sectionName(line)) {
            inSection = sameName(*name, section);
        } else if (inSection) {
            const auto lineKey = keyOf(line);
            if (lineKey && sameName(*lineKey, key))
                return cutToReadLimit(storedValue(line));
        }
    }
    return {};
}

void writeProfileString(const QString& filePath, const QString& section, const QString& key,
                        const QString& value)
{
    // A line break would end the line early and let the rest pose as further keys or sections:
    // such a value cannot be stored in this format, so the write fails (silently).
    if (holdsLineBreak(section) || holdsLineBreak(key) || holdsLineBreak(value)
        || section.contains(u']') || key.contains(u'=') || trimBlanks(key).isEmpty())
        return;

    QList<QByteArray> lines = readLines(filePath);
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();   // the final line break
    const IniEncoding encoding = fileEncoding(lines);
    const QByteArray newLine = encodeLine(key + u'=' + valueToStore(value), encoding);

    qsizetype sectionLine = -1;
    qsizetype insertAt = -1;   // after the section's last non-empty line
    bool written = false;
    for (qsizetype i = 0; i < lines.size() && !written; ++i) {
        const QString line = decoded(lines[i]);
        if (const auto name = sectionName(line)) {
            if (sectionLine >= 0)
                break;
            if (sameName(*name, section))
                sectionLine = insertAt = i;
        } else if (sectionLine >= 0) {
            const auto lineKey = keyOf(line);
            if (lineKey && sameName(*lineKey, key)) {
                // A value saved unchanged keeps its line as it is, whatever its spelling.
                if (storedValue(line) == value)
                    return;
                lines[i] = lines[i].endsWith('\r') ? newLine + '\r' : newLine;
                written = true;
            } else if (!trimBlanks(line).isEmpty()) {
                insertAt = i;
            }
        }
    }
    if (!written) {
        if (sectionLine >= 0) {
            lines.insert(insertAt + 1, newLine);
        } else {
            lines << encodeLine(u'[' + section + u']', encoding) << newLine;
        }
    }

    QSaveFile file(filePath);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(lines.join('\n') + '\n');
    file.commit();
}

QString ReadIniValue(const QString& fileName, const QString& section, const QString& key)
{
    return readProfileString(besideExecutable(fileName), section, key);
}

void WriteIniValue(const QString& fileName, const QString& section, const QString& key,
                   const QString& value)
{
    writeProfileString(besideExecutable(fileName), section, key, value);
}

} // namespace velmora
