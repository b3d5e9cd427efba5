#pragma once

#include "runtime/core/lines.h"

#include <QAbstractListModel>

#include <memory>

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

    [[nodiscard]] const Lines &lines() const noexcept { return *m_lines; }
    // The items as work off the window's thread keeps them: alive for as long as it runs.
    [[nodiscard]] std::shared_ptr<const Lines> sharedLines() const noexcept { return m_lines; }
    void setLines(Lines lines);

private:
    std::shared_ptr<const Lines> m_lines = std::make_shared<const Lines>();
};
