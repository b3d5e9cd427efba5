#include "runtime/widgets/itemmodel.h"

namespace {
// A line can be megabytes long; the list shows its beginning. The item itself stays whole.
constexpr qsizetype maxShownBytes = 1000;
} // namespace

int ItemModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines->size());
}

QVariant ItemModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    // No AccessibleTextRole: an item's accessible name is the text shown, as braille displays and
    // automation expect; a screen reader adds the position by its user's own setting.
    if (role != Qt::DisplayRole)
        return {};
    const QByteArrayView line = m_lines->utf8(index.row());
    if (line.size() <= maxShownBytes)
        return QString::fromUtf8(line);
    // Cutting inside a UTF-8 sequence leaves one replacement character before the ellipsis.
    return QString(QString::fromUtf8(line.first(maxShownBytes)) + u'\u2026');
}

void ItemModel::setLines(Lines lines)
{
    beginResetModel();
    m_lines = std::make_shared<const Lines>(std::move(lines));
    endResetModel();
}

