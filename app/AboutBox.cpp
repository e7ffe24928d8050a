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
constexpr int PanelHeight = 103;
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

    RzPanel1 = new QFrame(this);
    RzPanel1->setObjectName(QStringLiteral("RzPanel1"));
    RzPanel1->setFrameStyle(QFrame::Box | QFrame::Plain);   // flat
    RzPanel1->setGeometry(0, 0, ClientWidth, PanelHeight);

    const auto label = [this](const QString& name, const QString& text, int top) {
        return place(new QLabel(text, RzPanel1), name, LabelLeft, top, Qt::black);
    };
    const auto value = [this](const QString& name, const QString& text, int top) {
        return place(new QLabel(text, RzPanel1), name, ValueLeft, top, Navy);
    };
    RzLabel1 = label(QStringLiteral("RzLabel1"), QStringLiteral("Product Name: "), 5);
    RzLabel3 = value(QStringLiteral("RzLabel3"), QStringLiteral("Velmora"), 5);
    RzLabel4 = label(QStringLiteral("RzLabel4"), QStringLiteral("Version: "), 21);
    RzLabel5 = value(QStringLiteral("RzLabel5"), QStringLiteral("3.0"), 21);
    RzLabel8 = label(QStringLiteral("RzLabel8"), QStringLiteral("Site: "), 37);
    RzURLLabel2 = place(new LinkLabel(SiteAddress, QUrl(SiteAddress), RzPanel1),
                        QStringLiteral("RzURLLabel2"), ValueLeft, 37, Navy, true);
    RzLabel9 = label(QStringLiteral("RzLabel9"), QStringLiteral("E-Mail: "), 53);
    RzURLLabel1 = place(new LinkLabel(EMailAddress,
                                      QUrl(QStringLiteral("mailto:") + EMailAddress + QStringLiteral("?subject=Velmora")),
                                      RzPanel1),
                        QStringLiteral("RzURLLabel1"), ValueLeft, 53, Navy, true);
    RzLabel2 = label(QStringLiteral("RzLabel2"), QStringLiteral("Copyright: "), 68);
    RzLabel6 = value(QStringLiteral("RzLabel6"), QStringLiteral("© 2026 the Velmora authors"), 68);
    RzLabel7 = value(QStringLiteral("RzLabel7"), QStringLiteral("Free to use and share"), 84);

    RzDialogButtons1 = new QWidget(this);
    RzDialogButtons1->setObjectName(QStringLiteral("RzDialogButtons1"));
    RzDialogButtons1->setGeometry(0, ClientHeight - ButtonBarHeight, ClientWidth, ButtonBarHeight);
    okButton = new QPushButton(QStringLiteral("OK"), RzDialogButtons1);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setGeometry(ClientWidth - 75 - 8, (ButtonBarHeight - 25) / 2, 75, 25);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
}

void AboutBox::FormCreate()
{
    RzLabel5->setText(GetFileVersionText(ownExecutablePath()));
}

void AboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred on the screen, not on the owner.
    if (const QScreen* shown = screen())
        move(shown->availableGeometry().center() - rect().center());
}

} // namespace velmora
