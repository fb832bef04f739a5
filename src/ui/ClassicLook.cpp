#include "ClassicLook.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QImageReader>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>

// Outside any namespace, as the resource's registration function is.
static void registerIcons()
{
    // The lists may be linked from a static library that a program takes nothing
    // else of the resources from, so their registration is asked for by name.
    Q_INIT_RESOURCE(quorvel);
}

namespace {
QPixmap resourcePng(const QString &path);

// Qt's Windows style, but with the field of a drop-down list white, as the lists of
// Windows draw it, instead of the button grey, and the message box icons of its own:
// Qt's styles hand out the desktop theme's icons for those (Adwaita's orange triangle).
class ClassicStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption *option,
                       const QWidget *widget) const override
    {
        switch (icon) {
        case SP_MessageBoxWarning:
            return QIcon(resourcePng(QStringLiteral(":/icons/warning.png")));
        case SP_MessageBoxInformation:
            return QIcon(resourcePng(QStringLiteral(":/icons/information.png")));
        default:
            return QProxyStyle::standardIcon(icon, option, widget);
        }
    }
    // OK before キャンセル, as Windows orders them, not the desktop theme's order.
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returned) const override
    {
        if (hint == SH_DialogButtonLayout)
            return QDialogButtonBox::WinLayout;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override
    {
        const auto *combo = qstyleoption_cast<const QStyleOptionComboBox *>(option);
        if (control != CC_ComboBox || !combo || combo->editable) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        QStyleOptionComboBox field(*combo);
        field.subControls &= ~SC_ComboBoxArrow;
        field.palette.setBrush(QPalette::Button, combo->palette.brush(QPalette::Base));
        QProxyStyle::drawComplexControl(control, &field, painter, widget);
        QStyleOptionComboBox arrow(*combo);
        arrow.subControls = combo->subControls & SC_ComboBoxArrow;
        QProxyStyle::drawComplexControl(control, &arrow, painter, widget);
    }
};

// Read as the PNG it is. Left to find out the format for itself, Qt's reader loads
// every image format plugin installed (and the JPEG library) to ask each of them
// first, which cost more at start-up than the rest of the look.
QPixmap resourcePng(const QString &path)
{
    static const bool registered = (registerIcons(), true);
    Q_UNUSED(registered);
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

QIcon resourceIcon(const char *name)
{
    // A highlighted entry shows its icon as it is, not tinted with the selection.
    const QPixmap pixmap = resourcePng(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name)));
    QIcon icon;
    icon.addPixmap(pixmap, QIcon::Normal);
    icon.addPixmap(pixmap, QIcon::Selected);
    return icon;
}
} // namespace

QPalette ClassicLook::palette()
{
    const QColor black(0x00, 0x00, 0x00);
    const QColor white(0xFF, 0xFF, 0xFF);
    const QColor face(0xC0, 0xC0, 0xC0); // 3D objects, and the form behind them
    const QColor light(0xDF, 0xDF, 0xDF);
    const QColor shadow(0x80, 0x80, 0x80);
    const QColor navy(0x00, 0x00, 0x80);

    QPalette palette;
    // All groups alike at first: a classic list keeps its navy selection when the
    // window is not the active one.
    palette.setColor(QPalette::Window, face);
    palette.setColor(QPalette::WindowText, black);
    palette.setColor(QPalette::Base, white);
    palette.setColor(QPalette::AlternateBase, white);
    palette.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
    palette.setColor(QPalette::ToolTipText, black);
    palette.setColor(QPalette::PlaceholderText, shadow);
    palette.setColor(QPalette::Text, black);
    palette.setColor(QPalette::Button, face);
    palette.setColor(QPalette::ButtonText, black);
    palette.setColor(QPalette::BrightText, white);
    palette.setColor(QPalette::Light, white);
    palette.setColor(QPalette::Midlight, light);
    palette.setColor(QPalette::Mid, shadow);
    palette.setColor(QPalette::Dark, shadow);
    palette.setColor(QPalette::Shadow, black);
    palette.setColor(QPalette::Highlight, navy);
    palette.setColor(QPalette::HighlightedText, white);
    palette.setColor(QPalette::Link, QColor(0x00, 0x00, 0xFF));
    palette.setColor(QPalette::LinkVisited, QColor(0x80, 0x00, 0x80));
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    palette.setColor(QPalette::Accent, navy);
#endif

    // Disabled: grey text, and a box that takes no input turns grey as well.
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::PlaceholderText})
        palette.setColor(QPalette::Disabled, role, shadow);
    palette.setColor(QPalette::Disabled, QPalette::Base, face);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, shadow);
    palette.setColor(QPalette::Disabled, QPalette::HighlightedText, face);
    return palette;
}

QStyle *ClassicLook::style()
{
    // Owned by the application, so that it outlives every widget that draws with it.
    static QPointer<QStyle> style;
    if (!style) {
        if (QStyle *windows = QStyleFactory::create(QStringLiteral("Windows"))) {
            style = new ClassicStyle(windows);
            style->setParent(qApp);
        }
    }
    return style;
}

QIcon ClassicLook::programIcon()
{
    return QIcon(resourcePng(QStringLiteral(":/quorvel.png")));
}

QIcon ClassicLook::closedFolderIcon()
{
    return resourceIcon("folder-closed");
}

QIcon ClassicLook::openFolderIcon()
{
    return resourceIcon("folder-open");
}

QIcon ClassicLook::driveIcon()
{
    return resourceIcon("drive");
}

void ClassicLook::apply(QWidget *window)
{
    window->setPalette(palette());
    QStyle *classic = style();
    if (!classic)
        return;
    // A combo box's drop-down list is a window of its own that takes neither its
    // parent's style nor is made before it is first needed; made now, it is styled
    // with the rest.
    for (QComboBox *combo : window->findChildren<QComboBox *>())
        combo->view();
    window->setStyle(classic);
    for (QWidget *widget : window->findChildren<QWidget *>())
        widget->setStyle(classic);
    for (QAbstractItemView *view : window->findChildren<QAbstractItemView *>())
        view->setIconSize(iconSize());
    for (QComboBox *combo : window->findChildren<QComboBox *>())
        combo->setIconSize(iconSize());
}
