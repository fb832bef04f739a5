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
        return; // no input method for this window
    ImmSetOpenStatus(context, TRUE);
    DWORD conversion = 0;
    DWORD sentence = 0;
    ImmGetConversionStatus(context, &conversion, &sentence);
    // Only the kind of characters changes; how they are typed (romaji or kana keys, the
    // IME_CMODE_ROMAN bit) and the rest stay as the user set them.
    conversion &= ~DWORD(IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_FULLSHAPE);
    conversion |= mode == Mode::FullWidthKatakana
                      ? IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_FULLSHAPE
                      : IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE;
    ImmSetConversionStatus(context, conversion, sentence);
    ImmReleaseContext(window, context);
}

} // namespace InputMethod
