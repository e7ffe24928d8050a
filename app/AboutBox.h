// The about box: product name, the program's version text, the product's site and e-mail as
// links, and the copyright lines. Made afresh at every opening and destroyed when closed.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;

namespace velmora {

class AboutBox : public QDialog {
    Q_OBJECT
public:
    /// Builds the box and runs FormCreate, which reads the version text from the executable.
    explicit AboutBox(QWidget* owner = nullptr);

    static const QString SiteAddress;     // shown and opened as it is
    static const QString EMailAddress;    // opened as mailto with the subject "Velmora"

    QFrame* RzPanel1 = nullptr;
    QLabel* RzLabel1 = nullptr;      // "Product Name: "
    QLabel* RzLabel3 = nullptr;      // the product name
    QLabel* RzLabel4 = nullptr;      // "Version: "
    QLabel* RzLabel5 = nullptr;      // the version text
    QLabel* RzLabel8 = nullptr;      // "Site: "
    QLabel* RzURLLabel2 = nullptr;   // the site, a link
    QLabel* RzLabel9 = nullptr;      // "E-Mail: "
    QLabel* RzURLLabel1 = nullptr;   // the e-mail address, a link
    QLabel* RzLabel2 = nullptr;      // "Copyright: "
    QLabel* RzLabel6 = nullptr;      // copyright, first line
    QLabel* RzLabel7 = nullptr;      // copyright, second line
    QWidget* RzDialogButtons1 = nullptr;
    QPushButton* okButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
};

} // namespace velmora
