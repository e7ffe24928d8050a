// The about box: product name, the program's version text, the product's site and e-mail as
// links, and the copyright lines. Made afresh at every opening and destroyed when closed.
#pragma once

#include <QDialog>

namespace velmora {

class AboutBox : public QDialog {
    Q_OBJECT
public:
    /// Builds the box with the version text read from the executable.
    explicit AboutBox(QWidget* owner = nullptr);

    static const QString SiteAddress;     // shown and opened as it is
    static const QString EMailAddress;    // opened as mailto with the subject "Velmora"

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace velmora
