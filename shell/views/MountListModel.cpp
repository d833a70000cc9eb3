#include "shell/views/MountListModel.h"

#include "shell/views/ViewCommands.h"
#include "shell/views/ViewIcons.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace Vuxo {

int ShareImageIndex(const std::string& localPath) {
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(localPath, error);
    if (error || !std::filesystem::exists(status)) {
        return MountListModel::kMissingImage;
    }
    return std::filesystem::is_directory(status) ? MountListModel::kFolderImage : MountListModel::kFileImage;
}

MountListModel::MountListModel(QObject* parent) : QAbstractListModel(parent) {
    for (int i = 0; i < static_cast<int>(m_icons.size()); ++i) {
        m_icons[i] = ShareIcon(i);
    }
}

int MountListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

QVariant MountListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() != 0 || index.row() >= rowCount()) {
        return {};
    }
    const Item& item = m_items[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromUtf8(item.alias) + u'\n' + QString::fromUtf8(item.localPath);
    case Qt::ToolTipRole:
        return QString::fromUtf8(item.localPath);
    case Qt::DecorationRole:
        return m_icons[item.imageIndex];
    case kImageIndexRole:
        return item.imageIndex;
    case kShareAliasRole:
        return QString::fromUtf8(item.alias);
    case kShareLocalPathRole:
        return QString::fromUtf8(item.localPath);
    default:
        return {};
    }
}

void MountListModel::Append(const std::string& alias, const std::string& localPath) {
    Insert(rowCount(), alias, localPath, ShareImageIndex(localPath));
}

void MountListModel::Insert(int row, const std::string& alias, const std::string& localPath, int imageIndex) {
    row = std::clamp(row, 0, rowCount());
    if (imageIndex < 0 || imageIndex >= static_cast<int>(m_icons.size())) {
        imageIndex = kMissingImage;
    }
    beginInsertRows(QModelIndex(), row, row);
    m_items.insert(m_items.begin() + row, Item{alias, localPath, imageIndex});
    endInsertRows();
}

bool MountListModel::Remove(int row) {
    if (row < 0 || row >= rowCount()) {
        return false;
    }
    beginRemoveRows(QModelIndex(), row, row);
    m_items.erase(m_items.begin() + row);
    endRemoveRows();
    return true;
}

bool MountListModel::Replace(int row, const std::string& alias, const std::string& localPath) {
    if (row < 0 || row >= rowCount()) {
        return false;
    }
    m_items[row].alias = alias;
    m_items[row].localPath = localPath;
    QModelIndex changed = index(row);
    emit dataChanged(changed, changed);
    return true;
}

std::string MountListModel::GetAlias(int row) const {
    return row >= 0 && row < rowCount() ? m_items[row].alias : std::string();
}

std::string MountListModel::GetLocalPath(int row) const {
    return row >= 0 && row < rowCount() ? m_items[row].localPath : std::string();
}

int MountListModel::GetImageIndex(int row) const {
    return row >= 0 && row < rowCount() ? m_items[row].imageIndex : -1;
}

int MountListModel::FindAlias(const std::string& alias) const {
    auto found =
        std::find_if(m_items.begin(), m_items.end(), [&](const Item& item) { return item.alias == alias; });
    return found == m_items.end() ? -1 : static_cast<int>(found - m_items.begin());
}

} // namespace Vuxo
