#pragma once
// While an object of this class lives, no file of the process may grow beyond
// Limit bytes: writes fail as on a full disk, for root too (a read-only folder
// does not stop root). The test's own output to files is stopped as well, so
// keep assertions outside its scope.
#include <csignal>
#include <sys/resource.h>

class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t Limit) {
        getrlimit(RLIMIT_FSIZE, &FOld);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit New = FOld;
        New.rlim_cur = Limit;
        setrlimit(RLIMIT_FSIZE, &New);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit &) = delete;
    TFileSizeLimit &operator=(const TFileSizeLimit &) = delete;

private:
    rlimit FOld{};
    void (*FOldHandler)(int) = nullptr;
};
