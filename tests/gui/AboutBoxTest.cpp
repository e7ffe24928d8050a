// The about box: its rows and look, its two links handed to the desktop, and a fresh modal box
// at every opening by F1 or the About button, in either connection state.
#include "MainWindowTestSupport.h"

#include "AboutBox.h"
#include "SimFixture.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

// Stands in for the desktop's default handler of web and mail addresses.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder()
    {
        for (const char* scheme : {"http", "https", "mailto"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlRecorder() override
    {
        for (const char* scheme : {"http", "https", "mailto"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QStringList opened;

public slots:
    void open(const QUrl& url) { opened << url.toString(); }
};

// Opens the about box through `open` and, once it shows, notes it and closes it by `close`.
// Returns the box as it was while shown, and whether it was destroyed once closed.
struct Opening {
    QString version;
    bool modal = false;
    int boxesAlive = 0;
    bool destroyed = false;
};

Opening openAndClose(MainWindow& window, const std::function<void()>& open,
                     const std::function<void(AboutBox&)>& close)
{
    Opening result;
    QPointer<AboutBox> shown;
    // Looks for the box until it shows. A timer of this scope: should no box open, it cannot
    // fire later into the next opening.
    QTimer whenShown;
    QObject::connect(&whenShown, &QTimer::timeout, [&] {
        shown = qobject_cast<AboutBox*>(QApplication::activeModalWidget());
        if (!shown)
            return;
        whenShown.stop();
        result.version = part<QLabel>(*shown, "version")->text();
        result.modal = shown->isModal();
        result.boxesAlive = int(window.findChildren<AboutBox*>().size());
        close(*shown);
    });
    whenShown.start(10);
    open();
    whenShown.stop();
    result.destroyed = shown.isNull() && result.boxesAlive > 0;
    return result;
}

} // namespace

TEST(AboutBox, FixedDialogWithTheVersionReadAtCreationAndADefaultOk)
{
    AboutBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("О программе"));
    EXPECT_EQ(box.minimumSize(), QSize(316, 139));
    EXPECT_EQ(box.maximumSize(), QSize(316, 139));
    EXPECT_FALSE(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(part<QLabel>(box, "version")->text(), QStringLiteral("ERROR"));   // no version block in a test
    EXPECT_EQ(part<QLabel>(box, "productName")->text(), QStringLiteral("Velmora"));
    ASSERT_TRUE(showActive(box));
    pressKey(Qt::Key_Return);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST(AboutBox, LinksGoToTheDesktopsDefaultHandler)
{
    UrlRecorder recorder;
    AboutBox box;
    ASSERT_TRUE(showActive(box));
    click(*part<QLabel>(box, "siteLink"));
    click(*part<QLabel>(box, "eMailLink"));
    click(*part<QLabel>(box, "productName"));
    EXPECT_EQ(recorder.opened.join(u' '),
              AboutBox::SiteAddress + QStringLiteral(" mailto:") + AboutBox::EMailAddress + QStringLiteral("?subject=Velmora"));
}

TEST(AboutBox, EveryOpeningMakesAFreshModalBoxInBothStates)
{
    SettingsFile settings;
    RecordedMessages messages;
    SimFixture sim;
    MainWindow window;
    ASSERT_TRUE(showActive(window));

    const std::function<void()> opens[] = {
        [&] {
            // The window is active again once the previous box has gone, as on a desktop.
            ASSERT_TRUE(showActive(window));
            pressKey(Qt::Key_F1);
        },
        [&] { click(*part<QToolButton>(window, "aboutButton")); },
    };
    const std::function<void(AboutBox&)> closes[] = {
        [](AboutBox& box) { click(*part<QPushButton>(box, "okButton")); },
        [](AboutBox& box) {
            ASSERT_TRUE(showActive(box));
            pressKey(Qt::Key_Return);
        },
        [](AboutBox& box) { box.close(); },
    };
    for (bool connected : {false, true}) {
        if (connected) {
            fillLogin(window, QStringLiteral("127.0.0.1,%1").arg(sim.port()), QStringLiteral("sa"), QStringLiteral("velmora"));
            window.connectClicked();
            ASSERT_EQ(disabledControls(window), ConnectedOff);
            ASSERT_TRUE(showActive(window));
        }
        for (size_t o = 0; o < std::size(opens); ++o) {
            for (size_t c = 0; c < std::size(closes); ++c) {
                const Opening opening = openAndClose(window, opens[o], closes[c]);
                EXPECT_EQ(opening.boxesAlive, 1) << "connected " << connected << ", opening " << o << ", close " << c;
                EXPECT_TRUE(opening.modal);
                EXPECT_EQ(opening.version, QStringLiteral("ERROR"));
                EXPECT_TRUE(opening.destroyed);
            }
        }
    }
    EXPECT_EQ(messages.texts(), QString());
}

#include "AboutBoxTest.moc"
