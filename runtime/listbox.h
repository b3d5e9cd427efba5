#pragma once

#include "runtime/itemmodel.h"

#include <QListView>

// A single-selection list box over an ItemModel, with the operations the window's procedures
// use. Positions start at 0; one outside the list throws RuntimeError instead of being ignored.
class ListBox final : public QListView
{
    Q_OBJECT

public:
    explicit ListBox(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(ListBox)

    [[nodiscard]] int itemCount() const;
    // The selected item's position, or -1 while none is selected.
    [[nodiscard]] int selectedIndex() const;
    // Selects the item at position and scrolls it into view.
    void setSelectedIndex(int position);
    // The selected item's text, empty while none is selected.
    [[nodiscard]] QString selectedText() const;

    void appendItem(QStringView text);
    // Replaces all items at once: how a whole file is loaded without a signal per line.
    void setItems(Lines lines);
    [[nodiscard]] const Lines &items() const noexcept { return m_model->lines(); }

private:
    ItemModel *const m_model;
};
