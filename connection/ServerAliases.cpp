#include "ServerAliases.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>

namespace velmora {

namespace {

// The system file of Debian's FreeTDS build; FreeTDS itself falls back to it last.
constexpr const char* kSystemConfig = "/etc/freetds/freetds.conf";

struct Section {
    QString name;
    QString tdsVersion;
};

// FreeTDS compares option names case-insensitively with runs of blanks folded to one.
QString normalizedOption(const QString& name)
{
    return name.simplified().toLower();
}

std::vector<Section> readSections(const QString& configPath)
{
    std::vector<Section> sections;
    QFile file(configPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return sections;
    QTextStream in(&file);
    Section* current = nullptr;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            current = nullptr;
            if (name.isEmpty() || name.compare(u"global", Qt::CaseInsensitive) == 0)
                continue;
            auto same = [&name](const Section& s) { return s.name.compare(name, Qt::CaseInsensitive) == 0; };
            auto it = std::find_if(sections.begin(), sections.end(), same);
            current = it != sections.end() ? &*it : &sections.emplace_back(Section{name, {}});
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (current && equals > 0 && normalizedOption(line.left(equals)) == u"tds version")
            current->tdsVersion = line.mid(equals + 1).trimmed();
    }
    return sections;
}

} // namespace

QString freeTdsConfigPath()
{
    const QString fromEnvironment = qEnvironmentVariable("FREETDSCONF");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString user = QDir::home().filePath(QStringLiteral(".freetds.conf"));
    if (QFileInfo::exists(user))
        return user;
    return QString::fromLatin1(kSystemConfig);
}

QStringList serverAliases(const QString& configPath)
{
    QStringList names;
    for (const Section& section : readSections(configPath))
        names << section.name;
    return names;
}

bool isServerAlias(const QString& name, const QString& configPath)
{
    return serverAliases(configPath).contains(name, Qt::CaseInsensitive);
}

QString aliasTdsVersion(const QString& name, const QString& configPath)
{
    for (const Section& section : readSections(configPath))
        if (section.name.compare(name, Qt::CaseInsensitive) == 0)
            return section.tdsVersion;
    return {};
}

} // namespace velmora
