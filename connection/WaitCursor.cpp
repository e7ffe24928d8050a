#include "WaitCursor.h"

#include <utility>

namespace velmora {

namespace {

WaitCursor::Indicator& installedIndicator()
{
    static WaitCursor::Indicator indicator;
    return indicator;
}

} // namespace

void WaitCursor::setIndicator(Indicator indicator)
{
    installedIndicator() = std::move(indicator);
}

WaitCursor::WaitCursor()
    : m_shown(installedIndicator())
{
    if (m_shown)
        m_shown(true);
}

WaitCursor::~WaitCursor()
{
    if (m_shown)
        m_shown(false);
}

} // namespace velmora
