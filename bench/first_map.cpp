// Starts a program on the X display and watches for the moment a person can
// first see it: the first top-level window of that process to be mapped on the
// screen (its window manager frame, or the window itself when there is no
// window manager). Prints the time from just before the program was started
// to that moment, the processor time its threads had used by then, and its
// resident memory read at that moment.
// With --idle it then leaves the program alone and reports what it costs
// while nothing happens: CPU and context switches, summed over its threads.
//
// With --smaps FILE the program is stopped at that moment while its memory map
// (/proc/PID/smaps) is copied to FILE, for finding where the memory goes.
//
// Usage: bench_first_map [--idle SECONDS] [--threads] [--smaps FILE] PROGRAM [ARGUMENT...]
// Prints one line of name=value pairs; exit status 1 when no window came.
//
// Plain xcb and /proc, no Qt: the watcher must cost next to nothing and start
// listening before the program starts.
#include <xcb/xcb.h>

#include <dirent.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

namespace {

constexpr double GiveUpSeconds = 30;
constexpr double SettleSeconds = 2; // after the first map, before idle counting starts
constexpr int SearchDepth = 3;      // frame, its inner window, the client

double Seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// A field such as "VmRSS:" of a /proc status file, as a number (kB for sizes).
long long StatusField(const std::string &path, const char *field) {
    std::ifstream in(path);
    std::string line;
    const size_t length = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, length, field) == 0)
            return std::atoll(line.c_str() + length);
    return -1;
}

// Fields 14 and 15 (user and system time, in clock ticks) of a /proc stat file.
long long CpuTicks(const std::string &path) {
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')'); // the command name may hold blanks
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::atoll(field.c_str());
        if (i == 15)
            stime = std::atoll(field.c_str());
    }
    return utime + stime;
}

struct ThreadCounts {
    std::string name;
    long long voluntary = 0, involuntary = 0;
    long long runNs = 0; // time on a processor, to the nanosecond
};

// Context switches and processor time of every thread of a process, by thread id.
std::map<int, ThreadCounts> Switches(pid_t pid) {
    std::map<int, ThreadCounts> counts;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::unique_ptr<DIR, int (*)(DIR *)> dir(opendir(tasks.c_str()), closedir);
    if (!dir)
        return counts;
    while (const dirent *entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string base = tasks + "/" + entry->d_name;
        ThreadCounts c;
        std::ifstream(base + "/comm") >> c.name;
        c.voluntary = StatusField(base + "/status", "voluntary_ctxt_switches:");
        c.involuntary = StatusField(base + "/status", "nonvoluntary_ctxt_switches:");
        std::ifstream(base + "/schedstat") >> c.runNs;
        counts[std::atoi(entry->d_name)] = c;
    }
    return counts;
}

xcb_atom_t Atom(xcb_connection_t *c, const char *name) {
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// Whether the window, or a window inside it, carries the process id in _NET_WM_PID.
bool BelongsTo(xcb_connection_t *c, xcb_window_t window, xcb_atom_t pidAtom, pid_t pid, int depth) {
    xcb_get_property_reply_t *property = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    bool found = property && xcb_get_property_value_length(property) == 4 &&
                 *static_cast<uint32_t *>(xcb_get_property_value(property)) == uint32_t(pid);
    std::free(property);
    if (found || depth == 0)
        return found;
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
    if (!tree)
        return false;
    const xcb_window_t *children = xcb_query_tree_children(tree);
    for (int i = 0; !found && i < xcb_query_tree_children_length(tree); ++i)
        found = BelongsTo(c, children[i], pidAtom, pid, depth - 1);
    std::free(tree);
    return found;
}

// Ends the program: asked first, then killed if it has not gone in five seconds.
void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

} // namespace

int main(int argc, char *argv[]) {
    double idleSeconds = 0;
    bool perThread = false;
    const char *smapsCopy = nullptr;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (std::strcmp(argv[first], "--idle") == 0 && first + 1 < argc)
            idleSeconds = std::atof(argv[++first]);
        else if (std::strcmp(argv[first], "--threads") == 0)
            perThread = true;
        else if (std::strcmp(argv[first], "--smaps") == 0 && first + 1 < argc)
            smapsCopy = argv[++first];
        else
            break;
    }
    if (first >= argc) {
        std::fprintf(
            stderr, "usage: %s [--idle SECONDS] [--threads] [--smaps FILE] PROGRAM [ARGUMENT...]\n",
            argv[0]);
        return 2;
    }

    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "cannot open the display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t pidAtom = Atom(c, "_NET_WM_PID");
    // Every window mapped as a child of the root, from before the program starts.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_generic_error_t *error = xcb_request_check(
        c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask));
    if (error) {
        std::fprintf(stderr, "cannot watch the root window\n");
        return 2;
    }

    // A watcher that dies (a closed output pipe, a signal) takes the program
    // with it rather than leaving it running on the display.
    std::signal(SIGPIPE, SIG_IGN);
    const pid_t watcher = getpid();
    const double t0 = Seconds();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != watcher)
            _exit(1);
        execvp(argv[first], argv + first);
        _exit(127);
    }
    if (pid < 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[first]);
        return 2;
    }

    const std::string proc = "/proc/" + std::to_string(pid);
    double mappedAt = 0;
    long long rssAtMap = -1, hwmAtMap = -1;
    double cpuAtMap = 0; // processor time of all its threads until then, ms
    pollfd x{xcb_get_file_descriptor(c), POLLIN, 0};
    while (mappedAt == 0) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if (mapped && map->event == root && mappedAt == 0) {
                const double at = Seconds();
                if (smapsCopy)
                    kill(pid, SIGSTOP);
                // Memory first: the program goes on running while we ask the server.
                const long long rss = StatusField(proc + "/status", "VmRSS:");
                const long long hwm = StatusField(proc + "/status", "VmHWM:");
                long long runNs = 0;
                for (const auto &[tid, counts] : Switches(pid))
                    runNs += counts.runNs;
                if (BelongsTo(c, map->window, pidAtom, pid, SearchDepth)) {
                    mappedAt = at;
                    rssAtMap = rss;
                    hwmAtMap = hwm;
                    cpuAtMap = double(runNs) / 1e6;
                    if (smapsCopy)
                        std::ofstream(smapsCopy) << std::ifstream(proc + "/smaps").rdbuf();
                }
                if (smapsCopy)
                    kill(pid, SIGCONT);
            }
            std::free(event);
        }
        if (mappedAt != 0)
            break;
        if (xcb_connection_has_error(c) || waitpid(pid, nullptr, WNOHANG) == pid) {
            std::fprintf(stderr, "%s ended before showing a window\n", argv[first]);
            return 1;
        }
        if (Seconds() - t0 > GiveUpSeconds) {
            std::fprintf(stderr, "no window from %s in %.0f s\n", argv[first], GiveUpSeconds);
            Stop(pid);
            return 1;
        }
        poll(&x, 1, 100);
    }
    std::printf("map_ms=%.1f cpu_ms=%.1f rss_kib=%lld hwm_kib=%lld", 1000 * (mappedAt - t0),
                cpuAtMap, rssAtMap, hwmAtMap);

    if (idleSeconds > 0) {
        const long ticksPerSecond = sysconf(_SC_CLK_TCK);
        usleep(useconds_t(SettleSeconds * 1e6));
        std::printf(" rss_settled_kib=%lld", StatusField(proc + "/status", "VmRSS:"));
        const long long cpuBefore = CpuTicks(proc + "/stat");
        const std::map<int, ThreadCounts> before = Switches(pid);
        const double start = Seconds();
        usleep(useconds_t(idleSeconds * 1e6));
        const double elapsed = Seconds() - start;
        const long long cpuAfter = CpuTicks(proc + "/stat");
        const std::map<int, ThreadCounts> after = Switches(pid);
        long long voluntary = 0, involuntary = 0, runNs = 0;
        std::string threads;
        for (const auto &[tid, counts] : after) {
            const auto old = before.find(tid);
            const ThreadCounts was = old == before.end() ? ThreadCounts{} : old->second;
            const long long v = counts.voluntary - was.voluntary;
            const long long n = counts.involuntary - was.involuntary;
            voluntary += v;
            involuntary += n;
            runNs += counts.runNs - was.runNs;
            threads += " [" + counts.name + " " + std::to_string(v) + "+" + std::to_string(n) +
                       " " + std::to_string((counts.runNs - was.runNs) / 1000) + "us]";
        }
        // The scheduler's nanosecond count of the threads alive at the end, and
        // the clock-tick total of the whole process (threads that ended in
        // between included) as a cross-check.
        std::printf(" idle_s=%.1f cpu_pct=%.3f cpu_ticks_pct=%.3f switches_per_s=%.2f"
                    " voluntary=%lld involuntary=%lld",
                    elapsed, 100.0 * double(runNs) / 1e9 / elapsed,
                    100.0 * double(cpuAfter - cpuBefore) / double(ticksPerSecond) / elapsed,
                    double(voluntary + involuntary) / elapsed, voluntary, involuntary);
        if (perThread)
            std::printf(" threads=%s", threads.c_str());
    }
    std::printf("\n");
    std::fflush(stdout);
    Stop(pid);
    xcb_disconnect(c);
    return 0;
}
