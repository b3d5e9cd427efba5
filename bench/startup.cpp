// Times a desktop program from its start to its window on the X server, and reports its peak
// memory: starts the command, waits for the server to map a window (with --title, one of that
// title: a program may show a progress window before its own), then ends the program (if it has
// not ended itself) and reads its resource usage.
//   liststats-bench-startup [--title TITLE] COMMAND [ARGUMENTS...]   prints: {"shown": ms, "maxrss": KiB}

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    int first = 1;
    const char *title = nullptr; // any window, without --title
    if (argc > 2 && std::strcmp(argv[1], "--title") == 0) {
        title = argv[2];
        first = 3;
    }
    if (argc <= first) {
        std::fprintf(stderr, "usage: %s [--title TITLE] COMMAND [ARGUMENTS...]\n", argv[0]);
        return 2;
    }
    int screenNumber = 0;
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(xcb_connect(nullptr, &screenNumber),
                                                                                   xcb_disconnect);
    if (xcb_connection_has_error(connection.get())) {
        std::fprintf(stderr, "cannot connect to the X server (DISPLAY)\n");
        return 2;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection.get(), screens.data->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection.get());

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[first], argv + first);
        _exit(127);
    }

    // Qt names a window before it maps it, so its title can be read as the map is reported.
    const auto titled = [&](xcb_window_t window) {
        if (!title)
            return true;
        const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(connection.get(),
                                   xcb_get_property(connection.get(), 0, window, XCB_ATOM_WM_NAME,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                                   nullptr),
            std::free);
        if (!reply)
            return false;
        const std::string_view name(static_cast<const char *>(xcb_get_property_value(reply.get())),
                                    std::size_t(xcb_get_property_value_length(reply.get())));
        return name == title;
    };

    // Wait for the map, or for the program to end without one, whichever comes first.
    double shownMs = -1;
    int status = 0;
    rusage usage{};
    bool ended = false;
    pollfd server{xcb_get_file_descriptor(connection.get()), POLLIN, 0};
    while (shownMs < 0 && !ended && !xcb_connection_has_error(connection.get())) {
        while (xcb_generic_event_t *const event = xcb_poll_for_event(connection.get())) {
            if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY && shownMs < 0) {
                const auto now = std::chrono::steady_clock::now();
                if (titled(reinterpret_cast<const xcb_map_notify_event_t *>(event)->window))
                    shownMs = std::chrono::duration<double, std::milli>(now - start).count();
            }
            std::free(event);
        }
        if (shownMs < 0) {
            ended = wait4(child, &status, WNOHANG, &usage) == child;
            poll(&server, 1, 5);
        }
    }
    if (!ended) {
        kill(child, SIGTERM);
        wait4(child, &status, 0, &usage);
    }
    std::printf("{\"shown\": %.2f, \"maxrss\": %ld}\n", shownMs, usage.ru_maxrss);
    return shownMs < 0 ? 1 : 0;
}
