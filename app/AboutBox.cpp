#include "AboutBox.h"

#include "TahomaFont.h"
#include "VersionText.h"

#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace velmora {

const QString AboutBox::SiteAddress = QStringLiteral("https://velmora.org");
const QString AboutBox::EMailAddress = QStringLiteral("authors@velmora.org");

namespace {

constexpr int ClientWidth = 316;
constexpr int ClientHeight = 139;
constexpr int InfoPanelHeight = 103;
constexpr int ButtonBarHeight = 36;
constexpr int LabelLeft = 8;
constexpr int ValueLeft = 106;
constexpr int RowHeight = 16;
const QColor Navy(0, 0, 128);

// A value label that hands its address to the desktop's default handler when clicked.
class LinkLabel : public QLabel {
public:
    LinkLabel(const QString& text, QUrl address, QWidget* parent)
        : QLabel(text, parent), m_address(std::move(address))
    {
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            QDesktopServices::openUrl(m_address);
        QLabel::mouseReleaseEvent(event);
    }

private:
    QUrl m_address;
};

QFont rowFont(bool underlined = false)
{
    QFont font = tahomaFont(10, true);
    font.setUnderline(underlined);
    return font;
}

QLabel* place(QLabel* label, const QString& name, int left, int top, const QColor& colour,
              bool underlined = false)
{
    label->setObjectName(name);
    label->setFont(rowFont(underlined));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setGeometry(left, top, (left == LabelLeft ? ValueLeft : ClientWidth) - left - 2, RowHeight + 2);
    return label;
}

} // namespace

AboutBox::AboutBox(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                         | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    QPalette black = palette();
    black.setColor(QPalette::WindowText, Qt::black);
    setPalette(black);
    setFixedSize(ClientWidth, ClientHeight);

    auto* infoPanel = new QFrame(this);
    infoPanel->setObjectName(QStringLiteral("infoPanel"));
    infoPanel->setFrameStyle(QFrame::Box | QFrame::Plain);   // flat
    infoPanel->setGeometry(0, 0, ClientWidth, InfoPanelHeight);

    const auto label = [infoPanel](const QString& name, const QString& text, int top) {
        return place(new QLabel(text, infoPanel), name, LabelLeft, top, Qt::black);
    };
    const auto value = [infoPanel](const QString& name, const QString& text, int top) {
        return place(new QLabel(text, infoPanel), name, ValueLeft, top, Navy);
    };
    label(QStringLiteral("productNameLabel"), QStringLiteral("Product Name: "), 5);
    value(QStringLiteral("productName"), QStringLiteral("Velmora"), 5);
    label(QStringLiteral("versionLabel"), QStringLiteral("Version: "), 21);
    value(QStringLiteral("version"), GetFileVersionText(ownExecutablePath()), 21);
    label(QStringLiteral("siteLabel"), QStringLiteral("Site: "), 37);
    place(new LinkLabel(SiteAddress, QUrl(SiteAddress), infoPanel), QStringLiteral("siteLink"), ValueLeft, 37, Navy, true);
    label(QStringLiteral("eMailLabel"), QStringLiteral("E-Mail: "), 53);
    place(new LinkLabel(EMailAddress,
                        QUrl(QStringLiteral("mailto:") + EMailAddress + QStringLiteral("?subject=Velmora")), infoPanel),
          QStringLiteral("eMailLink"), ValueLeft, 53, Navy, true);
    label(QStringLiteral("copyrightLabel"), QStringLiteral("Copyright: "), 68);
    value(QStringLiteral("copyrightHolder"), QStringLiteral("© 2026 the Velmora authors"), 68);
    value(QStringLiteral("copyrightTerms"), QStringLiteral("Free to use and share"), 84);

    auto* buttonBar = new QWidget(this);
    buttonBar->setObjectName(QStringLiteral("buttonBar"));
    buttonBar->setGeometry(0, ClientHeight - ButtonBarHeight, ClientWidth, ButtonBarHeight);
    auto* okButton = new QPushButton(QStringLiteral("OK"), buttonBar);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setGeometry(ClientWidth - 75 - 8, (ButtonBarHeight - 25) / 2, 75, 25);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred on the screen, not on the owner.
    if (const QScreen* shown = screen())
        move(shown->availableGeometry().center() - rect().center());
}

} // namespace velmora
