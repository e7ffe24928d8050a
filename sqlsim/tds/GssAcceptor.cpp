#include "GssAcceptor.h"

#include <gssapi/gssapi_ext.h>
#include <gssapi/gssapi_krb5.h>

#include <QStringList>

namespace sqlsim::tds {

namespace {

// Every message GSSAPI has for a status code of one kind.
QString statusText(OM_uint32 code, int kind)
{
    QStringList parts;
    OM_uint32 context = 0;
    do {
        OM_uint32 minor = 0;
        gss_buffer_desc text = GSS_C_EMPTY_BUFFER;
        if (GSS_ERROR(gss_display_status(&minor, code, kind, GSS_C_NO_OID, &context, &text)))
            break;
        parts << QString::fromUtf8(static_cast<const char*>(text.value), qsizetype(text.length));
        gss_release_buffer(&minor, &text);
    } while (context != 0);
    return parts.join(QStringLiteral(", "));
}

QString failure(OM_uint32 major, OM_uint32 minor)
{
    const QString mechanism = statusText(minor, GSS_C_MECH_CODE);
    const QString general = statusText(major, GSS_C_GSS_CODE);
    return mechanism.isEmpty() ? general : general + QStringLiteral(": ") + mechanism;
}

} // namespace

GssAcceptor::GssAcceptor(const QString& keytab, const QString& principal)
{
    OM_uint32 minor = 0;
    gss_name_t service = GSS_C_NO_NAME;
    if (!principal.isEmpty()) {
        QByteArray name = principal.toUtf8();
        gss_buffer_desc buffer{size_t(name.size()), name.data()};
        const OM_uint32 major = gss_import_name(&minor, &buffer, GSS_KRB5_NT_PRINCIPAL_NAME, &service);
        if (GSS_ERROR(major)) {
            m_setupError = QStringLiteral("service principal '%1': %2").arg(principal, failure(major, minor));
            return;
        }
    }
    // The keytab is named for this credential only: the process's default keytab stays as it is.
    const QByteArray keytabPath = keytab.toLocal8Bit();
    gss_key_value_element_desc element{"keytab", keytabPath.constData()};
    gss_key_value_set_desc store{1, &element};
    const OM_uint32 major = gss_acquire_cred_from(&minor, service, GSS_C_INDEFINITE, GSS_C_NO_OID_SET,
                                                  GSS_C_ACCEPT, &store, &m_credential, nullptr, nullptr);
    if (GSS_ERROR(major))
        m_setupError = QStringLiteral("keytab '%1': %2").arg(keytab, failure(major, minor));
    gss_release_name(&minor, &service);
}

GssAcceptor::~GssAcceptor()
{
    OM_uint32 minor = 0;
    gss_release_name(&minor, &m_client);
    gss_delete_sec_context(&minor, &m_context, GSS_C_NO_BUFFER);
    gss_release_cred(&minor, &m_credential);
}

GssAcceptor::Step GssAcceptor::accept(const QByteArray& token)
{
    Step step;
    if (!m_setupError.isEmpty()) {
        step.error = m_setupError;
        return step;
    }
    OM_uint32 minor = 0;
    QByteArray input = token;
    gss_buffer_desc inputBuffer{size_t(input.size()), input.data()};
    gss_buffer_desc output = GSS_C_EMPTY_BUFFER;
    gss_release_name(&minor, &m_client);
    const OM_uint32 major = gss_accept_sec_context(&minor, &m_context, m_credential, &inputBuffer,
                                                   GSS_C_NO_CHANNEL_BINDINGS, &m_client, nullptr,
                                                   &output, nullptr, nullptr, nullptr);
    step.reply = QByteArray(static_cast<const char*>(output.value), qsizetype(output.length));
    OM_uint32 ignored = 0;
    gss_release_buffer(&ignored, &output);
    if (GSS_ERROR(major)) {
        step.error = failure(major, minor);
        return step;
    }
    step.state = (major & GSS_S_CONTINUE_NEEDED) ? State::Continue : State::Complete;
    return step;
}

QString GssAcceptor::clientLogin() const
{
    OM_uint32 minor = 0;
    gss_buffer_desc text = GSS_C_EMPTY_BUFFER;
    if (GSS_ERROR(gss_display_name(&minor, m_client, &text, nullptr)))
        return {};
    const QString principal = QString::fromUtf8(static_cast<const char*>(text.value), qsizetype(text.length));
    gss_release_buffer(&minor, &text);
    const qsizetype at = principal.lastIndexOf(u'@');
    return at < 0 ? principal : principal.mid(at + 1) + u'\\' + principal.left(at);
}

} // namespace sqlsim::tds
