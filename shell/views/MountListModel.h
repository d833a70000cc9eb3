// MountListModel: the items of the share list, one per share, in list order: the share's name, its local
// path and the image telling a file, a folder or a missing path apart. It mirrors the mount manager; the
// manager stays the only store of shares. GUI thread only.
#pragma once

#include <QAbstractListModel>
#include <QIcon>

#include <array>
#include <string>
#include <vector>

namespace Vuxo {

// The share image of a local path: 2 when it does not exist (or cannot be examined), 1 for a folder
// (links followed), 0 for anything else.
int ShareImageIndex(const std::string& localPath);

class MountListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum Image { kFileImage = 0, kFolderImage = 1, kMissingImage = 2 };

    explicit MountListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Appends an item; the image comes from the path as it is now.
    void Append(const std::string& alias, const std::string& localPath);
    // Inserts an item at `row` (clamped to the list) with the given image.
    void Insert(int row, const std::string& alias, const std::string& localPath, int imageIndex);
    // False for a row outside the list.
    bool Remove(int row);
    // Gives item `row` a new name and path, keeping its image; false for a row outside the list.
    bool Replace(int row, const std::string& alias, const std::string& localPath);

    // Both UTF-8 as the mount manager has them; "" for a row outside the list.
    std::string GetAlias(int row) const;
    std::string GetLocalPath(int row) const;
    int GetImageIndex(int row) const; // -1 outside the list
    // The first row whose name equals `alias` exactly, or -1.
    int FindAlias(const std::string& alias) const;

private:
    struct Item {
        std::string alias;
        std::string localPath;
        int imageIndex = kMissingImage;
    };

    std::vector<Item> m_items;
    std::array<QIcon, 3> m_icons;
};

} // namespace Vuxo
