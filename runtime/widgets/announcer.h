#pragma once

#include <QWidget>

// Makes a screen reader speak a new result as it appears, without moving the focus. Where Qt
// has announcements (6.8 and later), it sends one for the given widget. Where it has none, an
// invisible child of the window with the accessible role Notification takes the text and is
// hidden and shown again: screen readers speak a notification that appears.
class Announcer final : public QWidget
{
    Q_OBJECT

public:
    explicit Announcer(QWidget *window);
    Q_DISABLE_COPY_MOVE(Announcer)

    // source: the widget that now shows text.
    void announce(QWidget *source, const QString &text);

protected:
    void paintEvent(QPaintEvent *) override { }
};

// The window itself as a screen reader should see it: a frame, which Qt gives only to main
// windows and dialogs. For widgets of the named class.
void presentAsWindow(const char *className);
