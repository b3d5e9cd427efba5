#include "runtime/widgets/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QSet>

namespace {

QSet<QString> &windowClasses()
{
    static QSet<QString> classes;
    return classes;
}

// Announcers are notifications, and the classes named by presentAsWindow() windows.
QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1StringView(Announcer::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Notification);
    if (windowClasses().contains(className))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}

void installFactory()
{
    static const bool installed = (QAccessible::installFactory(accessibleFor), true);
    Q_UNUSED(installed);
}

} // namespace

Announcer::Announcer(QWidget *window) : QWidget(window)
{
    installFactory();
    setObjectName(QStringLiteral("Announcer"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 1, 1);
    hide();
}

void Announcer::announce(QWidget *source, const QString &text)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent event(source, text);
    QAccessible::updateAccessibility(&event);
#else
    Q_UNUSED(source);
    setAccessibleName(text);
    hide();
    show();
#endif
}

void presentAsWindow(const char *className)
{
    installFactory();
    windowClasses().insert(QLatin1StringView(className));
}
