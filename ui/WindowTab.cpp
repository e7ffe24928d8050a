#include "WindowTab.h"

namespace velmora {

WindowTab::~WindowTab() = default;

} // namespace velmora
