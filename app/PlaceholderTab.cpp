#include "PlaceholderTab.h"

#include "ButtonIcons.h"
#include "TabToolBar.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace velmora {

PlaceholderTab::PlaceholderTab(const QString& caption, const QString& refreshButton, QWidget* parent)
    : WindowTab(parent), m_caption(caption)
{
    if (refreshButton.isEmpty())
        return;
    auto* toolBar = new TabToolBar(QString(), this);
    m_refresh = toolBar->addButton(refreshButton, 4, buttonIcon(ButtonPicture::Refresh),
                                   QStringLiteral("Обновить (F5)"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(toolBar);
    layout->addStretch();
}

void PlaceholderTab::setConnectedState(bool connected)
{
    if (m_refresh)
        m_refresh->setEnabled(connected);
}

} // namespace velmora
