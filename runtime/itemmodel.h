#pragma once

#include "runtime/lines.h"

#include <QAbstractListModel>

// The list box's model: the items in a compact Lines store, handed to the view one row at a
// time as it paints them, so no item costs a widget or a QString until it is on screen.
class ItemModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;
    Q_DISABLE_COPY_MOVE(ItemModel)

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    [[nodiscard]] const Lines &lines() const noexcept { return m_lines; }
    void setLines(Lines lines);
    void append(QStringView text);

private:
    Lines m_lines;
};
