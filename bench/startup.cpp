// Times a desktop program from its start to its first window on the X server, and reports its
// peak memory: starts the command, waits for the server to map a window, then ends the program
// (if it has not ended itself) and reads its resource usage.
//   liststats-bench-startup COMMAND [ARGUMENTS...]   prints: {"shown": ms, "maxrss": KiB}

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s COMMAND [ARGUMENTS...]\n", argv[0]);
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
        execvp(argv[1], argv + 1);
        _exit(127);
    }

    // Wait for a map, or for the program to end without one, whichever comes first.
    double shownMs = -1;
    int status = 0;
    rusage usage{};
    bool ended = false;
    pollfd server{xcb_get_file_descriptor(connection.get()), POLLIN, 0};
    while (shownMs < 0 && !ended && !xcb_connection_has_error(connection.get())) {
        while (xcb_generic_event_t *const event = xcb_poll_for_event(connection.get())) {
            if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY && shownMs < 0)
                shownMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
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
