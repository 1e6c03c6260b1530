#include "TNewVer.h"

namespace quarrow {

TNewVer::TNewVer(const QString&, const QString&, const QString&, std::function<void(const QString&)>, QWidget*)
{
}

TNewVer::~TNewVer() = default;

} // namespace quarrow
