#include "shell/views/MountItemDelegate.h"

#include "shell/views/ViewCommands.h"

#include <QApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace Vuxo {
namespace {

const QColor kSelectedBackground(0xD9, 0xE2, 0xFA);
const QColor kBackground(0xFF, 0xFF, 0xFF);
const QColor kNameColour(0x00, 0x00, 0x00);
const QColor kPathColour(0x99, 0x99, 0x99);
const QColor kSeparatorColour(0xCC, 0xCC, 0xCC);

constexpr int kTopMargin = 4;

QFont NameFont(const QFont& base) {
    QFont font(base);
    font.setWeight(QFont::DemiBold);
    return font;
}

} // namespace

MountItemDelegate::MountItemDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void MountItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const QRect rect = option.rect;
    const bool enabled = option.state.testFlag(QStyle::State_Enabled);
    const bool selected = option.state.testFlag(QStyle::State_Selected) && enabled;

    painter->save();
    painter->setClipRect(rect);
    painter->fillRect(rect, selected ? kSelectedBackground : kBackground);

    // The icon, centred in the first kTextLeft pixels.
    QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    QRect iconRect(rect.left() + (kTextLeft - kIconSize) / 2, rect.top() + (rect.height() - kIconSize) / 2,
                   kIconSize, kIconSize);
    icon.paint(painter, iconRect, Qt::AlignCenter, enabled ? QIcon::Normal : QIcon::Disabled);

    // Name in bold, local path in grey under it; clipped at the right edge, never elided.
    const QFont nameFont = NameFont(option.font);
    const int nameHeight = QFontMetrics(nameFont).height();
    const int pathHeight = QFontMetrics(option.font).height();
    const int textLeft = rect.left() + kTextLeft;
    const int textWidth = std::max(0, rect.right() - textLeft);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs;

    painter->setFont(nameFont);
    painter->setPen(enabled ? kNameColour : kPathColour);
    painter->drawText(QRect(textLeft, rect.top() + kTopMargin, textWidth, nameHeight), flags,
                      index.data(kShareAliasRole).toString());
    painter->setFont(option.font);
    painter->setPen(kPathColour);
    painter->drawText(QRect(textLeft, rect.top() + kTopMargin + nameHeight, textWidth, pathHeight), flags,
                      index.data(kShareLocalPathRole).toString());

    // Separator on the item's last pixel row.
    painter->setPen(QPen(kSeparatorColour, 1));
    painter->drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());

    if (option.state.testFlag(QStyle::State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.rect = rect.adjusted(0, 0, 0, -1);
        focus.state = option.state;
        focus.backgroundColor = selected ? kSelectedBackground : kBackground;
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
}

QSize MountItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int nameHeight = QFontMetrics(NameFont(option.font)).height();
    const int pathHeight = QFontMetrics(option.font).height();
    const int height = std::max(kMinItemHeight, kTopMargin * 2 + nameHeight + pathHeight + 1);
    QFontMetrics nameMetrics(NameFont(option.font));
    QFontMetrics pathMetrics(option.font);
    const int width =
        kTextLeft + std::max(nameMetrics.horizontalAdvance(index.data(kShareAliasRole).toString()),
                             pathMetrics.horizontalAdvance(index.data(kShareLocalPathRole).toString()));
    return QSize(width, height);
}

} // namespace Vuxo
