// MountItemDelegate: draws a share as two lines beside its 32-pixel icon, the name in bold and the local
// path in grey under it, over a light blue background when selected, with a grey separator under each
// item. Long texts are clipped at the item's right edge. Stateless apart from the fixed colours.
#pragma once

#include <QStyledItemDelegate>

namespace Vuxo {

class MountItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kIconSize = 32;
    static constexpr int kTextLeft = kIconSize + 26; // the icon is centred in the first 58 pixels
    static constexpr int kMinItemHeight = 40;

    explicit MountItemDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace Vuxo
