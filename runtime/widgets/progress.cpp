#include "runtime/widgets/progress.h"

#include "runtime/core/task.h"

#include <QCoreApplication>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>

#include <chrono>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {
// Long enough for a small list's work to be done before anything moves.
constexpr auto showAfter = 250ms;
constexpr auto updateEvery = 100ms;
} // namespace

Progress::Progress(QWidget *parent, const QString &label, std::shared_ptr<const Task> task)
    : m_parent(parent), m_label(label), m_task(std::move(task))
{
    m_showTimer.setSingleShot(true);
    connect(&m_showTimer, &QTimer::timeout, this, &Progress::show);
    connect(&m_updateTimer, &QTimer::timeout, this, &Progress::update);
    m_showTimer.start(showAfter);
}

Progress::~Progress()
{
    delete m_dialog; // no signal from it reaches this any more
}

QWidget *Progress::cancelButton() const
{
    return m_dialog ? m_dialog->findChild<QPushButton *>() : nullptr;
}

void Progress::show()
{
    m_dialog = new QProgressDialog(m_label, u"Cancel"_s, 0, 100, m_parent);
    m_dialog->setWindowTitle(QCoreApplication::applicationName());
    m_dialog->setWindowModality(Qt::NonModal);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setMinimumDuration(0);
    m_dialog->setAttribute(Qt::WA_ShowWithoutActivating, !m_takesFocus);
    update();
    // Cancel, Esc and closing the dialog all come here; queued, so that whoever hears it may
    // delete this and the dialog.
    connect(m_dialog, &QProgressDialog::canceled, this, &Progress::cancelled, Qt::QueuedConnection);
    connect(m_dialog, &QProgressDialog::canceled, &m_updateTimer, &QTimer::stop); // or setValue() shows it again
    m_dialog->show();
    if (m_takesFocus) {
        m_dialog->activateWindow();
        cancelButton()->setFocus();
    }
    m_updateTimer.start(updateEvery);
    Q_EMIT shown();
}

void Progress::update()
{
    if (m_task->hasTotal()) {
        m_dialog->setMaximum(100);
        m_dialog->setValue(m_task->percent());
        m_dialog->setLabelText(m_label);
        return;
    }
    // A busy bar, and what has come in so far.
    m_dialog->setMaximum(0);
    m_dialog->setLabelText(m_label + u'\n' + tr("%1 read").arg(QLocale().formattedDataSize(m_task->done())));
}
