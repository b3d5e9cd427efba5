#include "runtime/listbox.h"

#include "runtime/runtimeerror.h"

ListBox::ListBox(QWidget *parent) : QListView(parent), m_model(new ItemModel(this))
{
    setModel(m_model);
    // Every row has the height of the first: the view lays out millions of rows without
    // asking the model for each one's size.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
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

void ListBox::setSelectedIndex(int position)
{
    if (position < 0 || position >= itemCount())
        throw RuntimeError::positionOutOfRange(position, itemCount());
    const QModelIndex index = m_model->index(position);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

QString ListBox::selectedText() const
{
    const int position = selectedIndex();
    return position < 0 ? QString() : items().text(position);
}

void ListBox::appendItem(QStringView text)
{
    m_model->append(text);
}

void ListBox::setItems(Lines lines)
{
    m_model->setLines(std::move(lines));
}
