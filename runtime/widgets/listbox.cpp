#include "runtime/widgets/listbox.h"

#include "runtime/core/job.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/core/task.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <limits>
#include <string_view>
#include <utility>

ListBox::ListBox(QWidget *parent) : QListView(parent), m_model(new ItemModel(this))
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int ListBox::itemCount() const
{
    return m_model->rowCount();
}

int ListBox::selectedIndex() const
{
    const QModelIndexList selected = selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.constFirst().row();
}

ListBox::~ListBox()
{
    stopSearch();
}

void ListBox::setSelectedIndex(int position)
{
    if (position < 0 || position >= itemCount())
        throw RuntimeError::positionOutOfRange(position, itemCount());
    stopSearch(); // what the program selects wins over a search still running
    showSelected(position);
}

void ListBox::showSelected(int position)
{
    const QModelIndex index = m_model->index(position);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

void ListBox::stopSearch()
{
    if (m_search)
        m_search->cancel(); // its result is dropped
}

QString ListBox::selectedText() const
{
    const int position = selectedIndex();
    return position < 0 ? QString() : items().text(position);
}

void ListBox::setItems(Lines lines)
{
    stopSearch();
    m_model->setLines(std::move(lines));
}

int ListBox::topRow() const
{
    return verticalScrollBar()->value();
}

int ListBox::rowsShown() const
{
    return std::max(1, viewport()->height() / rowHeight());
}

int ListBox::rowAt(int y) const
{
    return int(std::clamp<qint64>(topRow() + qint64(y / rowHeight()), -1, std::numeric_limits<int>::max()));
}

int ListBox::rowTop(qint64 row) const
{
    const qint64 top = (row - topRow()) * rowHeight();
    return int(std::clamp<qint64>(top, std::numeric_limits<int>::min() / 2, std::numeric_limits<int>::max() / 2));
}

QRect ListBox::visualRect(const QModelIndex &index) const
{
    if (!index.isValid())
        return {};
    return {0, rowTop(index.row()), viewport()->width(), rowHeight()};
}

void ListBox::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    measureRows();
    const int row = index.row();
    const int shown = rowsShown();
    switch (hint) {
    case EnsureVisible:
        if (row < topRow())
            verticalScrollBar()->setValue(row);
        else if (row >= topRow() + shown)
            verticalScrollBar()->setValue(row - shown + 1);
        break;
    case PositionAtTop:
        verticalScrollBar()->setValue(row);
        break;
    case PositionAtBottom:
        verticalScrollBar()->setValue(row - shown + 1);
        break;
    case PositionAtCenter:
        verticalScrollBar()->setValue(row - shown / 2);
        break;
    }
}

QModelIndex ListBox::indexAt(const QPoint &point) const
{
    if (!viewport()->rect().contains(point))
        return {};
    return m_model->index(rowAt(point.y())); // invalid below the last row
}

QModelIndex ListBox::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    const int count = itemCount();
    if (count == 0)
        return {};
    const qint64 current = currentIndex().isValid() ? currentIndex().row() : -1;
    qint64 row = current;
    switch (action) {
    case MoveUp:
    case MovePrevious:
        row = current - 1;
        break;
    case MoveDown:
    case MoveNext:
        row = current + 1;
        break;
    case MovePageUp:
        row = current - rowsShown();
        break;
    case MovePageDown:
        row = current + rowsShown();
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = count - 1;
        break;
    case MoveLeft:
    case MoveRight:
        break;
    }
    return m_model->index(int(std::clamp<qint64>(row, 0, count - 1)));
}

int ListBox::verticalOffset() const
{
    return -rowTop(0);
}

void ListBox::keyboardSearch(const QString &search)
{
    const int count = itemCount();
    if (count == 0 || search.isEmpty())
        return;
    // As in any list: keys typed in quick succession make one search, which goes on from the
    // current item; a new search, or one key again and again, starts past it.
    const bool goesOn = m_typedTime.isValid() && m_typedTime.elapsed() <= QApplication::keyboardInputInterval();
    m_typedTime.start();
    m_typed = goesOn ? m_typed + search : search;
    const bool sameKey = m_typed.size() > 1 && m_typed.count(m_typed.front()) == m_typed.size();
    const int current = currentIndex().isValid() ? currentIndex().row() : 0;
    const int start = (currentIndex().isValid() && (!goesOn || sameKey)) ? current + 1 : current;
    auto find = [items = m_model->sharedLines(), wanted = (sameKey ? m_typed.first(1) : m_typed).toUtf8(),
                 start](Task &task) {
        const auto matches = [&wanted](QByteArrayView item) {
            if (item.size() < wanted.size())
                return false;
            for (qsizetype i = 0; i < wanted.size(); ++i) {
                const auto a = uchar(item[i]), b = uchar(wanted[i]);
                if (a != b && !(a < 0x80 && b < 0x80 && std::tolower(a) == std::tolower(b)))
                    return false;
            }
            return true;
        };
        // From the start to the end, then from the top to the start, a run of rows at a time.
        constexpr qsizetype checkRows = 1 << 16;
        const qsizetype rows = items->size();
        const qsizetype first = rows == 0 ? 0 : start % rows;
        for (const auto &[from, to] : {std::pair(first, rows), std::pair(qsizetype(0), first)}) {
            for (qsizetype run = from; run < to; run += checkRows) {
                task.check();
                int found = -1;
                items->forEachUtf8(run, std::min(to, run + checkRows), [&](qsizetype row, std::string_view item) {
                    if (found < 0 && matches(QByteArrayView(item.data(), qsizetype(item.size()))))
                        found = int(row);
                });
                if (found >= 0)
                    return found;
            }
        }
        return -1;
    };
    const auto select = [this](int found) {
        if (found >= 0 && found < itemCount())
            showSelected(found);
    };
    stopSearch(); // the keys typed since make a new search
    // A short list is searched at once; through a billion items a search takes seconds, so a
    // long one is searched off the window's thread.
    constexpr int searchedAtOnce = 1 << 16;
    if (count <= searchedAtOnce) {
        Task now(1);
        select(find(now));
        return;
    }
    m_search = std::make_shared<Task>(1);
    startJob(this, m_search, std::move(find), [select](const Outcome<int> &found) {
        if (const int *const row = std::get_if<int>(&found))
            select(*row);
        // else it ran out of memory: the search simply stops, as a search that finds nothing does
    });
}

void ListBox::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    const int last = itemCount() - 1;
    const int first = std::max(0, rowAt(std::min(rect.top(), rect.bottom())));
    const int end = std::min(last, rowAt(std::max(rect.top(), rect.bottom())));
    QItemSelection selection;
    if (first <= end)
        selection.select(m_model->index(first), m_model->index(end));
    selectionModel()->select(selection, command);
}

QRegion ListBox::visualRegionForSelection(const QItemSelection &selection) const
{
    const int top = topRow();
    const int bottom = top + rowsShown();
    QRegion region;
    for (const QItemSelectionRange &range : selection) {
        const int first = std::max(range.top(), top);
        const int last = std::min(range.bottom(), bottom);
        if (first <= last)
            region += QRect(0, rowTop(first), viewport()->width(), (last - first + 1) * rowHeight());
    }
    return region;
}

int ListBox::rowHeight() const
{
    if (m_rowHeight == 0) {
        // The height the item delegate wants for a line of text in this font and style.
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.text = QStringLiteral("0");
        option.features |= QStyleOptionViewItem::HasDisplay;
        m_rowHeight = std::max(1, itemDelegate()->sizeHint(option, QModelIndex()).height());
    }
    return m_rowHeight;
}

void ListBox::measureRows()
{
    if (m_rangePending) {
        (void)rowHeight();
        updateGeometries();
    }
}

void ListBox::updateGeometries()
{
    // Unmeasured rows leave the scroll range to measureRows(): measuring loads the font, and
    // the window can be on screen before that.
    m_rangePending = m_rowHeight == 0;
    if (!m_rangePending) {
        const int shown = rowsShown();
        verticalScrollBar()->setRange(0, std::max(0, itemCount() - shown));
        verticalScrollBar()->setPageStep(shown);
        verticalScrollBar()->setSingleStep(1);
    }
    QAbstractItemView::updateGeometries();
}

void ListBox::doItemsLayout()
{
    QAbstractItemView::doItemsLayout(); // geometry and a repaint; no layout per row
}

void ListBox::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    updateGeometries();
    viewport()->update();
}

void ListBox::scrollContentsBy(int, int)
{
    viewport()->update();
}

void ListBox::paintEvent(QPaintEvent *event)
{
    measureRows();
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const bool focused = hasFocus();
    const int first = rowAt(event->rect().top());
    const int last = std::min(itemCount() - 1, rowAt(event->rect().bottom()));
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = m_model->index(row);
        QStyleOptionViewItem itemOption = option;
        itemOption.rect = visualRect(index);
        if (selectionModel()->isSelected(index))
            itemOption.state |= QStyle::State_Selected;
        if (focused && index == currentIndex())
            itemOption.state |= QStyle::State_HasFocus;
        itemDelegate()->paint(&painter, itemOption, index);
    }
}

void ListBox::changeEvent(QEvent *event)
{
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_rowHeight = 0;
        updateGeometries();
        viewport()->update();
    }
}

// Screen readers hear of the current and the selected item by its row; QListView would look the
// row up in its own layout, which this view does not build.
void ListBox::announceCurrent()
{
    if (QAccessible::isActive() && currentIndex().isValid() && hasFocus()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(currentIndex().row());
        QAccessible::updateAccessibility(&event);
    }
}

void ListBox::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QAbstractItemView::currentChanged(current, previous);
    announceCurrent();
}

// Coming back to the list, a screen reader user hears where in it they are.
void ListBox::focusInEvent(QFocusEvent *event)
{
    QListView::focusInEvent(event);
    // After the list's own focus, which a screen reader presents first.
    QTimer::singleShot(0, this, &ListBox::announceCurrent);
}

void ListBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        Q_EMIT menuRequested(menuPosition());
        return;
    }
    QListView::keyPressEvent(event);
}

void ListBox::contextMenuEvent(QContextMenuEvent *event)
{
    // The Menu key also comes as a context menu event, from X11, after its key press.
    Q_EMIT menuRequested(event->reason() == QContextMenuEvent::Mouse ? event->globalPos() : menuPosition());
}

QPoint ListBox::menuPosition() const
{
    const QRect item = visualRect(currentIndex());
    const QPoint at = item.isValid() && viewport()->rect().intersects(item) ? item.bottomLeft() : QPoint(0, 0);
    return viewport()->mapToGlobal(at);
}

void ListBox::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    if (QAccessible::isActive()) {
        for (const auto &[range, type] : {std::pair{selected, QAccessible::SelectionAdd},
                                          std::pair{deselected, QAccessible::SelectionRemove}}) {
            if (!range.isEmpty()) {
                QAccessibleEvent event(this, type);
                event.setChild(range.constFirst().top());
                QAccessible::updateAccessibility(&event);
            }
        }
    }
    QAbstractItemView::selectionChanged(selected, deselected);
}
