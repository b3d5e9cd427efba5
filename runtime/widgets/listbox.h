#pragma once

#include "runtime/widgets/itemmodel.h"

#include <QElapsedTimer>
#include <QListView>

#include <memory>

// A single-selection list box over an ItemModel, with the operations the window's procedures
// use. Positions start at 0; one outside the list throws RuntimeError instead of being ignored.
//
// Every row has one height, so where a row is follows from its number alone: the view keeps no
// layout per row and scrolls one row at a time. QListView's own layout keeps a position for every
// row, which for ten million rows costs more than the items themselves and most of a second to
// build; so every QListView function that would build or read it is replaced here. ListBox stays
// a QListView for what needs no layout, above all the screen reader's view of it as a list: Qt
// gives that view only to its own list, table and tree views, and a QAbstractItemView subclass
// with an accessible list and rows of its own took a third more code than this class. So nothing
// may call QListView's layout setters: this view does not follow them, and some send QListView
// to a layout never built. They are private here, so that a call through a ListBox does not
// compile.
class ListBox final : public QListView
{
    Q_OBJECT

public:
    explicit ListBox(QWidget *parent = nullptr);
    ~ListBox() override;
    Q_DISABLE_COPY_MOVE(ListBox)

    [[nodiscard]] int itemCount() const;
    // The selected item's position, or -1 while none is selected.
    [[nodiscard]] int selectedIndex() const;
    // Selects the item at position and scrolls it into view; a keyboard search still running
    // is stopped.
    void setSelectedIndex(int position);
    // Stops a keyboard search still running, if one is: what it finds is dropped.
    void stopSearch();
    // The selected item's text, empty while none is selected.
    [[nodiscard]] QString selectedText() const;

    // Replaces all items at once: how a whole file is loaded without a signal per line.
    void setItems(Lines lines);
    [[nodiscard]] const Lines &items() const noexcept { return m_model->lines(); }
    [[nodiscard]] std::shared_ptr<const Lines> sharedItems() const noexcept { return m_model->sharedLines(); }

    [[nodiscard]] QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    [[nodiscard]] QModelIndex indexAt(const QPoint &point) const override;
    void doItemsLayout() override;
    // Typing selects the next item that starts with the typed text, ignoring the case of ASCII
    // letters. The items' bytes are compared as they are stored, with no text made per row.
    void keyboardSearch(const QString &search) override;

Q_SIGNALS:
    // The user asks for the list's context menu, to be shown at this point of the screen: by
    // the right mouse button, where it was pressed; by the Menu key or Shift+F10, at the
    // current item.
    void menuRequested(QPoint globalPosition);

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    [[nodiscard]] int horizontalOffset() const override { return 0; }
    [[nodiscard]] int verticalOffset() const override;
    [[nodiscard]] bool isIndexHidden(const QModelIndex &) const override { return false; }
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    [[nodiscard]] QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void updateGeometries() override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    using QListView::setFlow;
    using QListView::setGridSize;
    using QListView::setLayoutMode;
    using QListView::setMovement;
    using QListView::setRowHidden;
    using QListView::setSpacing;
    using QListView::setViewMode;
    using QListView::setWrapping;

    void showSelected(int position);
    // Where the keyboard's context menu opens: below the current item, or at the list's top.
    [[nodiscard]] QPoint menuPosition() const;
    [[nodiscard]] int topRow() const;
    void announceCurrent();
    // Rows that fit wholly in the viewport; at least one.
    [[nodiscard]] int rowsShown() const;
    // The row at y in the viewport, or past either end of the list.
    [[nodiscard]] int rowAt(int y) const;
    // The height of every row, measured on first use.
    [[nodiscard]] int rowHeight() const;
    // Sets the scroll range if it waits for the rows to be measured, measuring them.
    void measureRows();

    // Where the item's row lies below the viewport's top, in pixels: beyond an int's range for
    // far rows of a long list, so it is clamped to that range.
    [[nodiscard]] int rowTop(qint64 row) const;

    ItemModel *const m_model;
    QString m_typed; // what keyboardSearch has been typed so far
    QElapsedTimer m_typedTime;
    std::shared_ptr<Task> m_search; // the search off the window's thread, while one runs
    mutable int m_rowHeight = 0; // 0 until measured
    bool m_rangePending = true;
};
