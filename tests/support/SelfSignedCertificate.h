// A throw-away self-signed certificate and its key, made with openssl, for tests of encrypted
// links.
#pragma once

#include <QString>

/// Writes a certificate for 127.0.0.1 and its unencrypted key as PEM files. Throws
/// std::runtime_error when openssl fails.
void makeSelfSignedCertificate(const QString& certificateFile, const QString& keyFile);
