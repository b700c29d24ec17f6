#include "panel/LookupWorker.h"

#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <thread>

#include "ado/Ado.h"
#include "common/RuntimeError.h"
#include "panel/QuantityLookup.h"
#include "settings/QuantityColumns.h"

namespace lumaro {

namespace {

using Clock = std::chrono::steady_clock;

// After an answer the worker looks for the next statement for a while before it sleeps,
// and the window looks for the answer before it sleeps: lines changed in quick succession
// then cost no thread wake-ups.
constexpr auto kSpin = std::chrono::microseconds(300);
constexpr auto kFirstRetry = std::chrono::seconds(1);
constexpr auto kLongestRetry = std::chrono::seconds(30);
constexpr auto kCancelWait = std::chrono::seconds(1);

}  // namespace

struct LookupWorker::Shared {
    std::string connectionString;
    int commandTimeoutSeconds = 0;

    std::mutex mutex;
    std::condition_variable wakeWorker;
    std::condition_variable wakeWindow;
    std::atomic<uint64_t> requested{0};  // the latest lookup handed over
    std::string statement;               // its statement
    uint64_t running = 0;                // the lookup the worker runs now
    std::atomic<uint64_t> answered{0};   // the lookup whose answer is in `answer`
    LookupAnswer answer;
    uint64_t dropped = 0;  // lookups up to this number give no answer
    int cancelling = 0;    // cancel requests on their way to the database
    bool stop = false;
    bool finished = false;
    std::atomic<bool> reconnecting{false};
    ado::Canceller canceller;
    LookupWorker* owner = nullptr;  // cleared when the window lets go of the worker
    LateAnswer lateAnswer;
    bool windowWaiting = false;  // between Submit and the end of Wait
    bool firstOpenDone = false;
    bool connected = false;
    uint64_t cancelsSent = 0;  // cancel requests sent so far (see Run)

    void Run();
    LookupAnswer Lookup(std::shared_ptr<ado::Connection>& connection, const std::string& sql);
    bool Open(std::shared_ptr<ado::Connection>& connection, std::string& error);
    void Deliver(uint64_t id, LookupAnswer answer);
    // Cancels lookup `id` on the database, on a thread of its own (a cancel request waits
    // for the server, which may not answer at all), again every 50 ms while the worker is
    // still running it: a request that reaches the server before the statement does is
    // ignored there.
    static void CancelAside(const std::shared_ptr<Shared>& shared, uint64_t id);
};

void LookupWorker::Shared::CancelAside(const std::shared_ptr<Shared>& shared, uint64_t id) {
    std::thread([shared, id] {
        std::unique_lock lock(shared->mutex);
        for (int i = 0; i < 100 && shared->running == id; ++i) {
            const ado::Canceller canceller = shared->canceller;
            ++shared->cancelling;
            lock.unlock();
            canceller.Cancel();
            lock.lock();
            --shared->cancelling;
            ++shared->cancelsSent;
            shared->wakeWorker.notify_all();
            shared->wakeWindow.wait_for(lock, std::chrono::milliseconds(50),
                                        [&] { return shared->running != id; });
        }
    }).detach();
}

bool LookupWorker::Shared::Open(std::shared_ptr<ado::Connection>& connection, std::string& error) {
    try {
        connection = ado::OpenConnection(connectionString, commandTimeoutSeconds);
    } catch (const RuntimeError& e) {
        error = FirstLine(e.Description());
        connection.reset();
        return false;
    }
    std::lock_guard lock(mutex);
    canceller = connection->GetCanceller();
    return true;
}

LookupAnswer LookupWorker::Shared::Lookup(std::shared_ptr<ado::Connection>& connection,
                                          const std::string& sql) {
    LookupAnswer result;
    result.outcome = LookupAnswer::Outcome::Unreachable;
    // A connection that broke since the last lookup is opened again once at once; a
    // statement that fails by itself is not run again.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if ((!connection || connection->State() != ado::adStateOpen) &&
            !Open(connection, result.error))
            return result;
        try {
            ado::Recordset recordset;
            ado::OpenTextQuery(recordset, connection, sql);
            if (recordset.IsEOF()) return {LookupAnswer::Outcome::NoRow, {}, {}};
            LookupAnswer found{LookupAnswer::Outcome::Found, {}, {}};
            found.values.reserve(std::size(kQuantityColumns));
            for (const QuantityColumn& column : kQuantityColumns)
                found.values.push_back(GetFieldText(recordset, column.name));
            return found;
        } catch (const RuntimeError& e) {
            result.error = FirstLine(e.Description());
            if (connection->State() == ado::adStateOpen)
                return {LookupAnswer::Outcome::QueryFailed, {}, result.error};
        }
    }
    return result;
}

// Called with the mutex held.
void LookupWorker::Shared::Deliver(uint64_t id, LookupAnswer result) {
    if (id != requested || id <= dropped) return;
    answer = std::move(result);
    answered = id;
    if (windowWaiting) {
        wakeWindow.notify_all();
    } else if (owner) {
        // Posted while the mutex keeps the owner alive; the call runs on its thread.
        QPointer<LookupWorker> target(owner);
        QMetaObject::invokeMethod(
            owner,
            [target, id, copy = answer] {
                if (!target) return;
                std::unique_lock relock(target->shared_->mutex);
                const bool current =
                    target->shared_->requested == id && id > target->shared_->dropped;
                if (current) target->shared_->dropped = id;
                relock.unlock();
                if (!current) return;
                target->timeout_.stop();
                target->shared_->lateAnswer(id, copy);
            },
            Qt::QueuedConnection);
    }
}

void LookupWorker::Shared::Run() {
    std::shared_ptr<ado::Connection> connection;
    uint64_t taken = 0;
    auto retryDelay = std::chrono::duration_cast<Clock::duration>(kFirstRetry);
    Clock::time_point nextRetry = Clock::time_point::max();
    // The connection is opened at once, so that the first lookup finds it ready.
    std::string error;
    const bool opened = Open(connection, error);
    std::unique_lock lock(mutex);
    firstOpenDone = true;
    connected = opened;
    if (!opened) {
        reconnecting = true;
        nextRetry = Clock::now() + retryDelay;
    }
    wakeWindow.notify_all();
    while (!stop) {
        if (requested == taken) {
            lock.unlock();
            const auto spinUntil = Clock::now() + kSpin;
            while (requested == taken && Clock::now() < spinUntil) std::this_thread::yield();
            lock.lock();
            wakeWorker.wait_until(lock, nextRetry, [&] { return stop || requested != taken; });
            if (stop) break;
        }
        if (requested == taken) {
            // Time to try the broken connection again.
            lock.unlock();
            std::string error;
            const bool opened = Open(connection, error);
            lock.lock();
            if (opened) {
                reconnecting = false;
                nextRetry = Clock::time_point::max();
                retryDelay = kFirstRetry;
            } else {
                nextRetry = Clock::now() + retryDelay;
                retryDelay = std::min<Clock::duration>(retryDelay * 2, kLongestRetry);
            }
            continue;
        }
        // A cancel request meant for the previous statement would cancel this one if it
        // reached the database after it started: it is let through first (a database
        // drops a cancel that comes between statements). One that hangs is not waited for.
        wakeWorker.wait_for(lock, kCancelWait, [&] { return stop || cancelling == 0; });
        if (stop) break;
        const uint64_t id = taken = requested;
        const std::string sql = statement;
        running = id;
        LookupAnswer result;
        // A server cancels what runs when a request comes, not the statement it was sent
        // for: a request for the previous lookup may stop this one. A lookup that failed
        // while such a request was out, and is still wanted, runs again.
        for (int attempt = 0;; ++attempt) {
            const bool cancelsOut = cancelling > 0;
            const uint64_t cancelsBefore = cancelsSent;
            lock.unlock();
            result = Lookup(connection, sql);
            lock.lock();
            const bool stray = cancelsOut || cancelsSent != cancelsBefore;
            if (result.outcome != LookupAnswer::Outcome::QueryFailed || !stray || attempt == 2 ||
                stop || requested != id || id <= dropped)
                break;
        }
        running = 0;
        wakeWindow.notify_all();
        if (result.outcome == LookupAnswer::Outcome::Unreachable) {
            if (!reconnecting) retryDelay = kFirstRetry;
            reconnecting = true;
            nextRetry = Clock::now() + retryDelay;
        } else if (reconnecting) {
            reconnecting = false;
            nextRetry = Clock::time_point::max();
        }
        Deliver(id, std::move(result));
    }
    canceller = {};
    lock.unlock();
    connection.reset();  // closed on the thread that opened it
    lock.lock();
    finished = true;
    wakeWindow.notify_all();
}

LookupWorker::LookupWorker(std::string connectionString, std::chrono::milliseconds queryTimeout,
                           LateAnswer lateAnswer, QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()), queryTimeout_(queryTimeout) {
    shared_->connectionString = std::move(connectionString);
    // The database's own limit is a backstop a little behind the window's timer, which
    // decides: a lookup that passes it is answered as timed out.
    shared_->commandTimeoutSeconds =
        static_cast<int>(std::chrono::ceil<std::chrono::seconds>(queryTimeout).count()) + 2;
    shared_->lateAnswer = std::move(lateAnswer);
    shared_->owner = this;
    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, [this] { TimeOut(); });
    std::thread([shared = shared_] { shared->Run(); }).detach();
}

LookupWorker::~LookupWorker() {
    std::unique_lock lock(shared_->mutex);
    shared_->stop = true;
    shared_->owner = nullptr;
    const ado::Canceller canceller = shared_->canceller;
    lock.unlock();
    shared_->wakeWorker.notify_all();
    canceller.Abort();
    // A worker that ends quickly closes its connection before the program goes on; one
    // stuck in a driver is let go.
    lock.lock();
    shared_->wakeWindow.wait_for(lock, std::chrono::milliseconds(500),
                                 [&] { return shared_->finished; });
}

uint64_t LookupWorker::Submit(const std::string& statement) {
    std::unique_lock lock(shared_->mutex);
    const uint64_t id = shared_->requested + 1;
    const uint64_t busy = shared_->running;
    shared_->statement = statement;
    shared_->requested = id;
    // The caller waits for the answer next: an answer that comes meanwhile is left for
    // Wait, not posted as a late one.
    shared_->windowWaiting = true;
    lock.unlock();
    shared_->wakeWorker.notify_one();
    if (busy) Shared::CancelAside(shared_, busy);
    timeout_.stop();
    return id;
}

std::optional<LookupAnswer> LookupWorker::Wait(uint64_t id, std::chrono::microseconds budget) {
    const auto deadline = Clock::now() + budget;
    const auto spinUntil = Clock::now() + std::min<Clock::duration>(budget, kSpin);
    while (shared_->answered != id && Clock::now() < spinUntil) std::this_thread::yield();
    std::unique_lock lock(shared_->mutex);
    shared_->wakeWindow.wait_until(lock, deadline, [&] { return shared_->answered == id; });
    shared_->windowWaiting = false;
    if (shared_->answered == id && id > shared_->dropped) {
        shared_->dropped = id;
        return std::move(shared_->answer);  // given once
    }
    lock.unlock();
    timeout_.start(queryTimeout_);
    return std::nullopt;
}

void LookupWorker::Drop() {
    std::unique_lock lock(shared_->mutex);
    shared_->dropped = shared_->requested;
    const uint64_t busy = shared_->running;
    lock.unlock();
    timeout_.stop();
    if (busy) Shared::CancelAside(shared_, busy);
}

bool LookupWorker::Reconnecting() const { return shared_->reconnecting; }

bool LookupWorker::WaitConnected(std::chrono::milliseconds budget) {
    std::unique_lock lock(shared_->mutex);
    shared_->wakeWindow.wait_for(lock, budget, [&] { return shared_->firstOpenDone; });
    return shared_->connected;
}

void LookupWorker::TimeOut() {
    std::unique_lock lock(shared_->mutex);
    const uint64_t id = shared_->requested;
    if (id <= shared_->dropped) return;
    shared_->dropped = id;
    const bool busy = shared_->running == id;
    const ado::Canceller canceller = shared_->canceller;
    lock.unlock();
    // Cancelled on the server and dropped here: a server that does not answer would keep
    // the worker waiting for the cancel too.
    if (busy) {
        Shared::CancelAside(shared_, id);
        canceller.Abort();
    }
    shared_->lateAnswer(id, {LookupAnswer::Outcome::TimedOut, {}, {}});
}

}  // namespace lumaro
