#include "InputMethod.h"

#include <QWidget>

// imm.h relies on the types windows.h declares.
#include <windows.h>
#include <imm.h>

namespace InputMethod {

void switchTo(QWidget *widget, Mode mode)
{
    if (!widget)
        return;
    const HWND window = reinterpret_cast<HWND>(widget->window()->winId());
    const HIMC context = ImmGetContext(window);
    if (!context)
        return;
    ImmSetOpenStatus(context, TRUE);
    const DWORD conversion = mode == Mode::FullWidthKatakana
                                 ? IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_FULLSHAPE
                                 : IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE;
    DWORD current = 0;
    DWORD sentence = 0;
    ImmGetConversionStatus(context, &current, &sentence);
    ImmSetConversionStatus(context, conversion, sentence);
    ImmReleaseContext(window, context);
}

} // namespace InputMethod
