#pragma once
// Runs the quantity lookups on a thread of its own, over a connection of its own, so that a
// slow, locked or silent database never holds up the window. The window hands over a
// statement and waits for the answer up to a short budget; an answer that comes later is
// given through a callback on the window's thread, and only for the latest lookup. A new
// lookup cancels the one still running on the database; a lookup that has not answered
// within the query timeout is cancelled and answered as timed out. A connection that broke
// is opened again in the background, waiting 1, 2, 4 ... up to 30 seconds between tries.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumaro {

struct LookupAnswer {
    enum class Outcome { Found, NoRow, QueryFailed, Unreachable, TimedOut };
    Outcome outcome = Outcome::NoRow;
    std::vector<std::string> values;  // the quantity columns as text, in their order (Found)
    std::string error;                // the database's first line of text (QueryFailed,
                                      // Unreachable)
};

class LookupWorker : public QObject {
public:
    using LateAnswer = std::function<void(uint64_t id, const LookupAnswer& answer)>;

    // The connection is opened on the worker's thread with `connectionString`, its command
    // timeout set from `queryTimeout`. `lateAnswer` is called on this object's thread.
    LookupWorker(std::string connectionString, std::chrono::milliseconds queryTimeout,
                 LateAnswer lateAnswer, QObject* parent = nullptr);
    // Returns at once: a running statement is cancelled and the thread let go.
    ~LookupWorker() override;
    LookupWorker(const LookupWorker&) = delete;
    LookupWorker& operator=(const LookupWorker&) = delete;

    // Starts a lookup of `statement` and returns its number. A lookup still pending is
    // cancelled on the database and its answer dropped.
    uint64_t Submit(const std::string& statement);
    // The answer of lookup `id` when it comes within `budget`; no late answer follows then.
    // Otherwise nullopt, and the answer comes through the callback (or a timed-out answer
    // once the query timeout has passed).
    std::optional<LookupAnswer> Wait(uint64_t id, std::chrono::microseconds budget);
    // Drops the pending lookup, if any: cancelled on the database, its answer never given.
    void Drop();
    // True while the worker's connection is broken and being opened again.
    bool Reconnecting() const;
    // Waits up to `budget` for the first opening of the connection (made when the worker
    // starts); whether it opened.
    bool WaitConnected(std::chrono::milliseconds budget);

    struct Shared;

private:
    void TimeOut();

    std::shared_ptr<Shared> shared_;
    std::chrono::milliseconds queryTimeout_;
    QTimer timeout_;
};

}  // namespace lumaro
