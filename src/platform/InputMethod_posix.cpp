#include "InputMethod.h"

namespace InputMethod {

// Linux and the other Unix systems give programs no common way to ask an input method
// for a mode; the user's own choice stands.
void switchTo(QWidget *, Mode)
{
}

} // namespace InputMethod
