#include "framework/file/win32/join_job.h"

CJoinJob::~CJoinJob() {
    // The worker may still be writing to `output_`: stop it while the
    // members it uses are alive.
    StopRun();
}

bool CJoinJob::BeginJoin(const wchar_t* destination, const wchar_t* firstPart) {
    if (status_.load() == kBusy) return false;
    if (destination == nullptr || firstPart == nullptr) return false;
    if (!StorePaths(destination, firstPart)) return false;
    status_ = kBusy;
    mode_ = kFirstPart;
    percent_ = 0;
    CreateDestinationFolder();
    return Launch();
}

bool CJoinJob::AppendPart(const wchar_t* part) { return StartPart(kMiddlePart, part); }

bool CJoinJob::AppendLastPart(const wchar_t* part) { return StartPart(kLastPart, part); }

bool CJoinJob::StartPart(JoinMode mode, const wchar_t* part) {
    if (status_.load() == kBusy) return false;
    if (part == nullptr || !StorePaths(nullptr, part)) return false;
    status_ = kBusy;
    percent_ = 0;
    mode_ = mode;
    return Launch();
}

void CJoinJob::Run() {
    DWORD error = 0;
    if (mode_ == kFirstPart) {
        output_.reset();
        output_.reset(CreateJobDestination(destination_));
        if (!output_) error = GetLastError();
    }
    // Appending without an open join (no BeginJoin, or its destination could
    // not be created) fails.
    const Outcome outcome = output_ ? AppendCurrentPart() : Failed(error);
    // The last part closes the join; a failed one keeps it open (holding
    // the earlier parts) so the part can be appended again.
    if (mode_ == kLastPart && outcome != Outcome::kFailed) output_.reset();
    Publish(outcome);
}

CCopyJob::Outcome CJoinJob::AppendCurrentPart() {
    unique_hfile part(OpenJobSource(source_));
    if (!part) return Failed(GetLastError());

    // Where this part begins in the destination: the start for the first
    // part, else where the previous part ended.
    LARGE_INTEGER start = {};
    if (mode_ == kFirstPart) {
        if (!SetFilePointerEx(output_.get(), start, nullptr, FILE_BEGIN))
            return Failed(GetLastError());
    } else {
        LARGE_INTEGER zero = {};
        if (!SetFilePointerEx(output_.get(), zero, &start, FILE_CURRENT))
            return Failed(GetLastError());
    }

    Outcome outcome = Transfer(part.get(), output_.get(), kChunkBytes);
    if (outcome == Outcome::kFailed) {
        // Cut the bytes of this part off again. When that fails too, the
        // destination is given up so no later part is appended after a gap.
        if (!SetFilePointerEx(output_.get(), start, nullptr, FILE_BEGIN) ||
            !SetEndOfFile(output_.get()))
            output_.reset();
    }
    return outcome;
}
