#include "SelfSignedCertificate.h"

#include <QProcess>
#include <stdexcept>

void makeSelfSignedCertificate(const QString& certificateFile, const QString& keyFile)
{
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                   QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-keyout"), keyFile, QStringLiteral("-out"),
                   certificateFile});
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
        throw std::runtime_error("openssl req failed: " + openssl.readAll().toStdString());
}
