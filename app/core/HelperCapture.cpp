#include "CaptureBackend.h"


#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>


namespace Tidemark {

namespace {

// What a helper process left behind, shared by the session and its reading thread.
struct HelperRun {
    std::mutex mutex;
    std::condition_variable changed;
    pid_t pid = -1;
    bool started = false;   // the stream's header arrived: the capture is open
    bool ended = false;     // the stream has ended
    bool reaped = false;    // the process has ended and been waited for
    int exitCode = -1;
    std::string errorText;  // the helper's standard error (its last line), when it failed
    ObservationCallback callback;
    int lifeline = -1;      // the write end of the helper's standard input: held until it is reaped
};

// The last line of the helper's standard error, at most 4 KiB read.
std::string lastLine(int fd) {
    char buffer[4096];
    const ssize_t n = pread(fd, buffer, sizeof buffer, 0);
    std::string text(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const auto newline = text.rfind('\n');
    return newline == std::string::npos ? text : text.substr(newline + 1);
}

// Reads exactly `size` bytes; false at the end of the stream or on an error.
bool readExactly(int fd, std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = read(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Reads the helper's observations until the stream ends, then reaps the helper.
void readHelperStream(const std::shared_ptr<HelperRun>& run, int out, int err) {
    std::array<std::uint8_t, observationStreamHeader.size()> header{};
    if (readExactly(out, header.data(), header.size()) && header == observationStreamHeader) {
        {
            std::lock_guard lock(run->mutex);
            run->started = true;
        }
        run->changed.notify_all();
        ObservationRecord record{};
        while (readExactly(out, record.data(), record.size())) {
            const std::optional<Observation> observation = decodeObservation(record);
            if (!observation) break;  // not what a helper writes: stop listening to it
            if (run->callback) run->callback(*observation);
        }
    }
    close(out);
    int status = 0;
    std::unique_lock lock(run->mutex);
    while (waitpid(run->pid, &status, 0) < 0 && errno == EINTR) {
    }
    run->reaped = true;
    run->ended = true;
    run->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (!run->started) run->errorText = lastLine(err);
    close(err);
    close(run->lifeline);
    // The callback may hold what holds this session: let it go here, not in a cycle.
    ObservationCallback callback = std::move(run->callback);
    lock.unlock();
    run->changed.notify_all();
}

class HelperSession final : public CaptureSession {
public:
    HelperSession(std::shared_ptr<HelperRun> run, std::thread reader) : run_(std::move(run)), reader_(std::move(reader)) {}
    ~HelperSession() override {
        cancel();
        if (reader_.get_id() == std::this_thread::get_id()) {
            reader_.detach();  // the last holder let go from the reading thread itself
        } else if (reader_.joinable()) {
            reader_.join();
        }
    }
    void cancel() override {
        std::lock_guard lock(run_->mutex);
        if (!run_->reaped) kill(run_->pid, SIGTERM);  // not reaped: the pid is still the helper's
    }
    bool running() const override {
        std::lock_guard lock(run_->mutex);
        return !run_->ended;
    }

private:
    std::shared_ptr<HelperRun> run_;
    std::thread reader_;
};

std::shared_ptr<CaptureSession> startHelper(const std::string& helperPath, const CaptureParameters& p,
                                            ObservationCallback callback) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw CaptureFailure(CaptureFailure::Kind::other, "cannot make a pipe for the capture helper");
    // Standard error goes to an unnamed file: read once the helper has ended, it can never block it.
    const int err = memfd_create("tidemark-capture-stderr", MFD_CLOEXEC);
    if (err < 0) {
        close(out[0]);
        close(out[1]);
        throw CaptureFailure(CaptureFailure::Kind::other, "cannot make a file for the capture helper's errors");
    }
    // The helper's standard input is a pipe this process alone holds open: a helper whose parent died
    // before it could ask to follow it sees the pipe hung up and ends. (It asks for SIGTERM when the
    // thread that started it ends: the monitor starts captures on the main thread.)
    int lifeline[2];
    if (pipe2(lifeline, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        close(err);
        throw CaptureFailure(CaptureFailure::Kind::other, "cannot make a pipe for the capture helper");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, lifeline[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    std::vector<std::string> arguments{helperPath, "--interface", p.interface};
    std::vector<char*> argv;
    for (auto& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    auto run = std::make_shared<HelperRun>();
    run->callback = std::move(callback);
    // The helper needs nothing of this process's environment, and is given none of it (no key travels).
    char path[] = "PATH=/usr/bin:/bin";
    char* environment[] = {path, nullptr};
    const int spawned = posix_spawn(&run->pid, helperPath.c_str(), &actions, nullptr, argv.data(), environment);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(lifeline[0]);
    run->lifeline = lifeline[1];
    if (spawned != 0) {
        close(out[0]);
        close(err);
        close(lifeline[1]);
        // Limited to a group this user is not in: the permission step says whom to ask.
        if (spawned == EACCES) {
            throw CaptureFailure(CaptureFailure::Kind::permissionDenied, helperPath + ": Permission denied");
        }
        throw CaptureFailure(CaptureFailure::Kind::other,
                             "cannot run the capture helper " + helperPath + ": " + std::strerror(spawned));
    }
    std::thread reader(readHelperStream, run, out[0], err);
    auto session = std::make_shared<HelperSession>(run, std::move(reader));

    // Opening takes milliseconds; the helper either writes the stream's header or ends.
    std::unique_lock lock(run->mutex);
    if (!run->changed.wait_for(lock, std::chrono::seconds(10), [&] { return run->started || run->reaped; })) {
        lock.unlock();
        session.reset();  // ends and reaps the helper
        throw CaptureFailure(CaptureFailure::Kind::other, "the capture helper did not start within 10 seconds");
    }
    if (run->started) return session;
    const std::string text = run->errorText;
    const int code = run->exitCode;
    lock.unlock();
    session.reset();
    if (const auto kind = failureKind(static_cast<HelperExit>(code)); kind != CaptureFailure::Kind::other) {
        throw CaptureFailure(kind, text);
    }
    throw CaptureFailure(CaptureFailure::Kind::other, "the capture helper ended with code " + std::to_string(code) +
                                                          (text.empty() ? std::string() : ": " + text));
}

// A regular file that is executable by someone (perhaps not by this user: a helper limited to a group).
bool isProgram(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0111) != 0;
}

}  // namespace

CaptureFactory helperCaptureFactory(std::string helperPath) {
    return [helperPath](const CaptureParameters& p, ObservationCallback callback) {
        return startHelper(helperPath, p, std::move(callback));
    };
}

std::optional<std::string> findCaptureHelper(const std::string& programDirectory) {
    for (const std::string& path : {programDirectory + "/../libexec/tidemark/tidemark-capture",
                                    programDirectory + "/tidemark-capture"}) {
        if (isProgram(path)) return path;
    }
    return std::nullopt;
}

}  // namespace Tidemark
