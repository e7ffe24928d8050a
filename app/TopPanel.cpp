#include "TopPanel.h"

#include "ButtonIcons.h"
#include "TahomaFont.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QToolButton>

#include <algorithm>

namespace velmora {

namespace {

constexpr int PanelHeight = 26;
constexpr int ControlTop = 2;
constexpr int ControlHeight = 21;
constexpr int AboutRightMargin = 4;   // 937 + 22 + 4 = the panel's width at the design size
constexpr int PanelContentWidth = 937 + 22 + AboutRightMargin;

// The panel's boxes as the classic toolkit draws them: the password box shows "@" for every
// character, and a check box keeps 4 pixels between its box and its caption, which the
// caption's place is measured for.
class PanelStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return u'@';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_CheckBoxLabelSpacing)
            return 4;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

void makeLabel(QWidget* panel, const QString& name, const QString& text, int left, int width)
{
    auto* label = new QLabel(text, panel);
    label->setObjectName(name);
    label->setFont(tahomaFont(8, true));
    label->setGeometry(left, ControlTop, width, ControlHeight);
}

QToolButton* makeImageButton(QWidget* panel, const QString& name, ButtonPicture picture, const QString& hint,
                             int left)
{
    auto* button = new QToolButton(panel);
    button->setObjectName(name);
    button->setIcon(buttonIcon(picture));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(left, (PanelHeight - 20) / 2, 22, 20);
    return button;
}

void makeSeparator(QWidget* panel, int left)
{
    auto* separator = new QFrame(panel);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setGeometry(left, 1, 4, PanelHeight - 2);
}

} // namespace

TopPanel::TopPanel(QWidget* parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("topPanel"));
    setFrameStyle(QFrame::Box | QFrame::Sunken);   // grooved
    setFixedHeight(PanelHeight);
    // Narrower, the About button would lie over the login boxes and the buttons out of reach.
    setMinimumWidth(PanelContentWidth);

    makeLabel(this, QStringLiteral("serverLabel"), QStringLiteral(" Сервер: "), 2, 51);
    m_serverBox = new QComboBox(this);
    m_serverBox->setObjectName(QStringLiteral("serverBox"));
    m_serverBox->setEditable(true);
    m_serverBox->setInsertPolicy(QComboBox::NoInsert);
    m_serverBox->setGeometry(54, ControlTop, 177, ControlHeight);
    makeSeparator(this, 232);

    makeLabel(this, QStringLiteral("loginLabel"), QStringLiteral(" Логин: "), 237, 43);
    m_loginBox = new QLineEdit(this);
    m_loginBox->setObjectName(QStringLiteral("loginBox"));
    m_loginBox->setGeometry(279, ControlTop, 179, ControlHeight);
    makeSeparator(this, 459);

    makeLabel(this, QStringLiteral("passwordLabel"), QStringLiteral(" Пароль: "), 462, 52);
    m_passwordBox = new QLineEdit(this);
    m_passwordBox->setObjectName(QStringLiteral("passwordBox"));
    m_passwordBox->setEchoMode(QLineEdit::Password);
    auto* panelStyle = new PanelStyle;
    panelStyle->setParent(this);
    m_passwordBox->setStyle(panelStyle);
    m_passwordBox->setGeometry(512, ControlTop, 179, ControlHeight);
    connect(m_passwordBox, &QLineEdit::returnPressed, this, &TopPanel::connectRequested);
    makeSeparator(this, 692);

    m_windowsAuthenticationBox = new QCheckBox(QStringLiteral("Windows authentication"), this);
    m_windowsAuthenticationBox->setObjectName(QStringLiteral("windowsAuthenticationBox"));
    m_windowsAuthenticationBox->setFont(tahomaFont(8));
    m_windowsAuthenticationBox->setStyle(panelStyle);
    m_windowsAuthenticationBox->setGeometry(697, ControlTop, 134, ControlHeight);
    makeSeparator(this, 832);

    m_connectButton = makeImageButton(this, QStringLiteral("connectButton"), ButtonPicture::Connect,
                                      QStringLiteral("Подключиться (Ctr+C)"), 837);
    m_disconnectButton = makeImageButton(this, QStringLiteral("disconnectButton"), ButtonPicture::Disconnect,
                                         QStringLiteral("Отключиться (Ctrl+D)"), 861);
    makeSeparator(this, 884);
    auto* exitButton = makeImageButton(this, QStringLiteral("exitButton"), ButtonPicture::Exit,
                                       QStringLiteral("Выход (Alt+X)"), 889);
    m_aboutButton = makeImageButton(this, QStringLiteral("aboutButton"), ButtonPicture::About,
                                    QStringLiteral("О программе (F1)"), 937);
    connect(m_connectButton, &QToolButton::clicked, this, &TopPanel::connectRequested);
    connect(m_disconnectButton, &QToolButton::clicked, this, &TopPanel::disconnectRequested);
    connect(exitButton, &QToolButton::clicked, this, &TopPanel::exitRequested);
    connect(m_aboutButton, &QToolButton::clicked, this, &TopPanel::aboutRequested);

    setTabOrder(m_serverBox, m_loginBox);
    setTabOrder(m_loginBox, m_passwordBox);
    setTabOrder(m_passwordBox, m_windowsAuthenticationBox);
}

void TopPanel::setServerAliases(QStringList aliases)
{
    std::sort(aliases.begin(), aliases.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    m_serverBox->addItems(aliases);
    // Filling the list must not choose an entry: the box stays empty until the settings say.
    m_serverBox->setCurrentIndex(-1);
}

QString TopPanel::server() const
{
    return m_serverBox->currentText();
}

void TopPanel::setServer(const QString& server)
{
    m_serverBox->setEditText(server);
}

QString TopPanel::login() const
{
    return m_loginBox->text();
}

void TopPanel::setLogin(const QString& login)
{
    m_loginBox->setText(login);
}

LoginInput TopPanel::loginInput() const
{
    return {server(), login(), m_passwordBox->text(), m_windowsAuthenticationBox->isChecked(), QString()};
}

void TopPanel::setConnectedState(bool connected)
{
    for (QWidget* control : std::initializer_list<QWidget*>{m_serverBox, m_loginBox, m_passwordBox,
                                                            m_windowsAuthenticationBox, m_connectButton})
        control->setEnabled(!connected);
    m_disconnectButton->setEnabled(connected);
}

void TopPanel::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    m_aboutButton->move(width() - m_aboutButton->width() - AboutRightMargin, m_aboutButton->y());
}

} // namespace velmora
