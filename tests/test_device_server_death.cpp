/*
 * The audio server dying under a running stream: a JACK server with its dummy driver, started
 * and stopped by the test itself (by process id), is killed (SIGKILL) or stopped (SIGTERM)
 * while batches run, while one thread sleeps until ticks and while others set ports and create
 * and delete units. Every later call returns within a bounded time, waits say that the stream
 * is gone, stopping and terminating work, and a start on a new server plays again. Without a
 * jackd program the tests are skipped, unless VELTO_REQUIRE_DEVICE is set.
 */
#include <gtest/gtest.h>
#include <portaudio.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "velto_units.h"
#include "vx_internal.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

bool HaveJackd() { return std::system("command -v jackd >/dev/null 2>&1") == 0; }

/* A JACK server of this test's own, with the dummy driver. */
class Server {
  public:
    explicit Server(std::string name) : name_(std::move(name)) {}
    ~Server() { Stop(SIGKILL); }
    bool Start() {
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL); /* never outlive the test */
            if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
                _exit(126);
            execlp("jackd", "jackd", "-n", name_.c_str(), "-R", "-d", "dummy", "-r", "44100", "-p",
                   "64", "-C", "2", "-P", "2", static_cast<char *>(nullptr));
            _exit(127);
        }
        if (pid_ < 0) return false;
        /* Up when the default output device is a JACK one again. */
        for (int i = 0; i < 100; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            if (VexaF_DefaultOutputDevice() != paNoDevice) return true;
        }
        return false;
    }
    void Stop(int signal) {
        if (pid_ <= 0) return;
        kill(pid_, signal);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    std::string name_;
    pid_t pid_ = -1;
};

/* What the test is doing, for the watchdog's report. */
std::atomic<const char *> gPhase{"starting"};

/* Ends the test program when a call hangs: a hang is the fault, and it must not hold CI. The
 * threads' stacks go to standard error first when gdb is at hand. */
class Watchdog {
  public:
    explicit Watchdog(int seconds) {
        thread_ = std::thread([this, seconds] {
            const Clock::time_point start = Clock::now();
            while (!done_.load()) {
                if (Seconds(start) > seconds) {
                    std::fprintf(stderr, "a call did not return after the server died (%s)\n",
                                 gPhase.load());
                    const std::string dump = "gdb -p " + std::to_string(getpid()) +
                                             " -batch -ex 'thread apply all bt 15' 1>&2";
                    if (std::system(dump.c_str()) != 0) std::fprintf(stderr, "no stacks\n");
                    std::_Exit(1);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }
    ~Watchdog() {
        done_.store(true);
        thread_.join();
    }

  private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

struct Case {
    const char *name;
    int signal;
    bool clientsCallIn;
};
void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

class ServerDeath : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        if (!HaveJackd()) {
            if (std::getenv("VELTO_REQUIRE_DEVICE") != nullptr) {
                FAIL() << "no jackd program, and VELTO_REQUIRE_DEVICE is set";
            }
            GTEST_SKIP() << "no jackd program";
        }
        /* This process talks to its own server only. The name is fixed per case: JACK keeps a
         * killed server in its registry, which holds a few servers only, until a server of
         * the same name starts again. */
        const std::string name = std::string("velto_death_") + GetParam().name;
        setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
        setenv("JACK_NO_START_SERVER", "1", 1);
        server_ = new Server(name);
        ASSERT_TRUE(server_->Start()) << "the JACK server did not come up";
    }
    void TearDown() override { delete server_; }
    Server *server_ = nullptr;
};

/* Vexa_Start on a server that has just come up, which on a loaded machine may not take
 * clients for a moment. */
int32_t StartOnNewServer(VexaContext *ctx) {
    int32_t started = Vexa_Start(ctx, 0, 44100.0);
    for (int attempt = 0; started != 0 && attempt < 30; attempt++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        started = Vexa_Start(ctx, 0, 44100.0);
    }
    return started;
}

/* A sine into the line output, started. */
int32_t Play(VexaContext *ctx) {
    const int32_t osc = Vexa_CreateUnit(ctx, VEXA_UNIT_SINE_OSCILLATOR, 0, 0);
    const int32_t out = Vexa_CreateUnit(ctx, VEXA_UNIT_LINE_OUT, 0, 0);
    EXPECT_GT(osc, 0);
    EXPECT_GT(out, 0);
    EXPECT_EQ(Vexa_ConnectUnits(ctx, osc, VEXA_PORT_OUTPUT, 0, out, VEXA_PORT_INPUT, 0), 0);
    EXPECT_EQ(Vexa_StartUnit(ctx, osc), 0);
    EXPECT_EQ(Vexa_StartUnit(ctx, out), 0);
    return osc;
}

TEST_P(ServerDeath, EveryCallReturnsAndANewServerPlaysAgain) {
    const Case &c = GetParam();
    Watchdog watchdog(60);
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    ASSERT_EQ(StartOnNewServer(ctx), 0);
    const int32_t osc = Play(ctx);
    ASSERT_EQ(Vexa_SleepForTicks(ctx, 20), 0);

    /* Client threads calling in while the server dies: ports, waits, units made and
     * deleted. Each loop ends when told to; a call may fail once the stream is gone, but
     * only with a code of the error table. */
    std::atomic<bool> stop{false};
    std::atomic<int> badCodes{0};
    std::vector<std::thread> clients;
    auto check = [&](int32_t result) {
        if (result < -100 || (result < 0 && result > -61)) badCodes++;
    };
    if (c.clientsCallIn) {
        clients.emplace_back([&] {
            for (int i = 0; !stop.load(); i++)
                check(Vexa_SetPort(ctx, osc, VEXA_PORT_FREQUENCY, 0, 200.0 + i % 400));
        });
        clients.emplace_back([&] {
            while (!stop.load()) check(Vexa_SleepUntilTick(ctx, Vexa_GetTickCount(ctx) + 3));
        });
        clients.emplace_back([&] {
            while (!stop.load()) {
                const int32_t unit = Vexa_CreateUnit(ctx, VEXA_UNIT_ADD, 0, 0);
                check(unit);
                if (unit > 0) {
                    check(Vexa_StartUnit(ctx, unit));
                    check(Vexa_Delete(ctx, unit));
                }
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }

    gPhase = "the server dies";
    server_->Stop(c.signal);
    gPhase = "waits after the death";

    /* The next wait ends, saying the stream has stopped running. */
    Clock::time_point start = Clock::now();
    EXPECT_EQ(Vexa_SleepUntilTick(ctx, Vexa_GetTickCount(ctx) + 100), VXERR_NOT_RUNNING);
    EXPECT_LT(Seconds(start), 3.0);
    start = Clock::now();
    EXPECT_EQ(Vexa_SleepForTicks(ctx, 10), VXERR_NOT_RUNNING) << "a later wait returns at once";
    EXPECT_LT(Seconds(start), 0.5);
    /* A port is still set; with the FIFO filled by the clients, the wait for room ends
     * with the same code. */
    const int32_t set = Vexa_SetPort(ctx, osc, VEXA_PORT_FREQUENCY, 0, 330.0);
    EXPECT_TRUE(set == 0 || (c.clientsCallIn && set == VXERR_NOT_RUNNING)) << set;

    gPhase = "client threads end";
    stop.store(true);
    for (std::thread &client : clients) client.join();
    gPhase = "stop";
    EXPECT_EQ(badCodes.load(), 0);

    start = Clock::now();
    EXPECT_EQ(Vexa_Stop(ctx), 0);
    EXPECT_LT(Seconds(start), 3.0);
    EXPECT_EQ(Vexa_SleepForTicks(ctx, 1), VXERR_NOT_STARTED);

    /* A new server: the same context starts on it and its clock runs again. */
    gPhase = "a new server";
    ASSERT_TRUE(server_->Start()) << "the second JACK server did not come up";
    ASSERT_EQ(StartOnNewServer(ctx), 0);
    const int32_t before = Vexa_GetTickCount(ctx);
    EXPECT_EQ(Vexa_SleepUntilTick(ctx, before + 50), 0);
    EXPECT_GE(Vexa_GetTickCount(ctx), before + 50);
    EXPECT_GT(Vexa_GetUsage(ctx), 0.0) << "the new stream computes the sine";
    EXPECT_EQ(Vexa_Stop(ctx), 0);

    gPhase = "terminate";
    start = Clock::now();
    EXPECT_EQ(Vexa_Terminate(ctx), 0) << "engine allocations left";
    EXPECT_LT(Seconds(start), 3.0);
    Vexa_DeleteContext(ctx);
    EXPECT_EQ(Pa_Terminate(), paNotInitialized) << "PortAudio initialisation not balanced";
}

INSTANTIATE_TEST_SUITE_P(Signals, ServerDeath,
                         ::testing::Values(Case{"Killed", SIGKILL, false},
                                           Case{"Stopped", SIGTERM, false},
                                           Case{"KilledWhileClientsCallIn", SIGKILL, true},
                                           Case{"StoppedWhileClientsCallIn", SIGTERM, true}),
                         [](const ::testing::TestParamInfo<Case> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
