#include "runtime/background.h"

#include "runtime/task.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <future>
#include <memory>
#include <system_error>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// Long enough for a small list's work to be done before anything moves; short enough that the
// window is never blocked for long.
constexpr auto quickWait = 20ms;
constexpr auto showAfter = 250ms;
constexpr auto updateEvery = 100ms;

// Keeps one procedure at a time: drops clicks and keys meant for the busy window.
class InputBlocker final : public QObject
{
public:
    InputBlocker(QWidget *window, QWidget *exempt, Task &task) : m_window(window), m_exempt(exempt), m_task(task)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cancel) && isInWindow(watched))
                m_task.cancel();
            [[fallthrough]];
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (!isInWindow(watched))
                return false;
            return !m_exempt || !(watched == m_exempt || m_exempt->isAncestorOf(static_cast<QWidget *>(watched)));
        default:
            return false;
        }
    }

private:
    bool isInWindow(QObject *watched) const
    {
        const auto *const widget = qobject_cast<QWidget *>(watched);
        return m_window && widget && widget->window() == m_window;
    }

    QWidget *const m_window;
    QWidget *const m_exempt;
    Task &m_task;
};

} // namespace

bool runInBackground(QWidget *parent, QWidget *exempt, const QString &label, Task &task, const std::function<void()> &work)
{
    QEventLoop loop;
    bool finished = false; // seen by the loop's thread only
    std::future<void> done;
    try {
        done = std::async(std::launch::async, [&work, &loop, &finished] {
            struct QuitLoop
            {
                QEventLoop &loop;
                bool &finished;
                ~QuitLoop()
                {
                    QMetaObject::invokeMethod(
                        &loop, [&loop = loop, &finished = finished] { finished = true, loop.quit(); }, Qt::QueuedConnection);
                }
            } quit{loop, finished};
            work();
        });
    } catch (const std::system_error &) {
        work(); // no thread to be had: done here, the window waiting
        return !task.isCancelled();
    }

    if (done.wait_for(quickWait) != std::future_status::ready) {
        const InputBlocker blocker(parent ? parent->window() : nullptr, exempt, task);
        std::unique_ptr<QProgressDialog> dialog;
        QTimer show, update;
        show.setSingleShot(true);
        QObject::connect(&show, &QTimer::timeout, &loop, [&] {
            dialog = std::make_unique<QProgressDialog>(label, u"Cancel"_s, 0, 100, parent);
            dialog->setWindowTitle(QCoreApplication::applicationName());
            dialog->setWindowModality(parent ? Qt::WindowModal : Qt::NonModal);
            dialog->setAutoReset(false);
            dialog->setAutoClose(false);
            dialog->setValue(task.percent());
            QObject::connect(dialog.get(), &QProgressDialog::canceled, &loop, [&task] { task.cancel(); });
            dialog->show();
            update.start(updateEvery);
        });
        QObject::connect(&update, &QTimer::timeout, &loop, [&] { dialog->setValue(task.percent()); });
        show.start(showAfter - quickWait);
        loop.exec();
        if (!finished)
            task.cancel(); // the loop was left as the program ends: the work is no longer wanted
    }

    done.wait();
    if (task.isCancelled())
        return false; // whatever the work did or threw: the user no longer wants it
    done.get();
    return true;
}
