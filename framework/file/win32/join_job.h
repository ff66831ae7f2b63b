// Join jobs: a worker thread that writes one destination file from part
// files that arrive one after another (one per disc, say), in chunks of
// 3 MiB. The destination stays open between parts, so the owner can ask for
// the next disc while the job waits; it is closed at the end of the last
// part, by a new BeginJoin, or when the job is destroyed.
//
// Status and percent follow the protocol of CCopyJob, per part: each start
// operation sets status 1 and percent 0 before the worker exists, and a
// finished part reads status 0 with percent 100.
//
// A part that fails after some of its bytes were written is cut off again,
// so the destination only ever holds whole parts: the same part can be
// appended again, or a new BeginJoin starts over.
#pragma once

#include <memory>
#include <utility>

#include "framework/file/win32/copy_job.h"
#include "framework/system/win32/unique_handle.h"

class CJoinJob : public CCopyJob {
public:
    static constexpr DWORD kChunkBytes = 3u * 1024 * 1024;
    enum JoinMode : LONG { kFirstPart = 0, kMiddlePart = 1, kLastPart = 2 };

    static_assert(kChunkBytes <= CJobEngine::kLargestChunk, "a chunk fits a slot of the ring");

    CJoinJob() = default;
    explicit CJoinJob(std::shared_ptr<CJobEngine> engine) : CCopyJob(std::move(engine)) {}
    // Stops the worker before the destination it writes is closed.
    ~CJoinJob() override;

    void Run() override;

    // Creates (or truncates) `destination`, with its folder chain, and
    // appends `firstPart`. False, with nothing changed, when busy or when a
    // path is missing or does not fit; false with status -1 when the worker
    // could not be started.
    bool BeginJoin(const wchar_t* destination, const wchar_t* firstPart) override;
    // Appends `part`; the destination stays open. Fails (status -1) when no
    // join is open.
    bool AppendPart(const wchar_t* part) override;
    // Appends `part` and closes the destination (kept open when it fails).
    bool AppendLastPart(const wchar_t* part) override;
    // A join is ended by destroying the job; Abort does nothing.
    void Abort() override {}

    LONG Mode() const { return mode_; }

private:
    bool StartPart(JoinMode mode, const wchar_t* part);
    // Appends the current part to the open destination.
    Outcome AppendCurrentPart();

    LONG mode_ = kFirstPart;
    unique_hfile output_;
};
