#pragma once

class QWidget;

namespace InputMethod {

enum class Mode { FullWidthKatakana, Hiragana };

// Switches the Japanese input method of the widget's window to the mode, as the
// user expects when the focus enters the horse name or the password box. Windows
// only: other platforms have no common way to ask for an input mode, so there it
// does nothing.
void switchTo(QWidget *widget, Mode mode);

} // namespace InputMethod
