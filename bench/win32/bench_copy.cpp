// Copy benchmark, the Windows half: times CCopyJob over a set of files, or
// one CJoinJob over a list of parts, and prints the bytes and seconds as
// "name bytes seconds". scripts/bench-copy.sh creates the files, times the
// host's dd over the same bytes and prints the ratios.
//
//   bench_copy copy DEST-FOLDER SOURCE...   one CCopyJob per source
//   bench_copy join DEST-FILE PART...       BeginJoin, AppendPart..., AppendLastPart
// The jobs share one CJobEngine, as those of the install sequence do, which
// is told every source ahead as the install sequence tells it; they are
// waited for as it waits: on the end of each piece.
//   bench_copy raw DEST-FOLDER SOURCE...    a plain ReadFile/WriteFile loop in
//                                           2 MiB chunks on the main thread: what
//                                           the system calls cost under Wine
//   bench_copy copyfile DEST-FOLDER SOURCE...  Wine's own CopyFileExW
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

#include "framework/file/win32/copy_job.h"
#include "framework/file/win32/join_job.h"
#include "framework/system/win32/path_utils.h"
#include "framework/system/win32/unique_handle.h"

namespace {

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

long long SizeOf(const wchar_t* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The engine every job of the run shares, its threads and ring ready before
// the timing starts as the install sequence has them ready before the
// wizard ends.
std::shared_ptr<CJobEngine> Engine() {
    static std::shared_ptr<CJobEngine> engine = [] {
        auto made = std::make_shared<CJobEngine>();
        made->Prepare();
        made->WaitUntilIdle(10000);
        return made;
    }();
    return engine;
}

// Polls like the install sequence, which looks again as soon as a piece's
// run ends. True when the piece finished.
bool WaitForPiece(CCopyJob& job) {
    for (;;) {
        LONG status = job.GetStatus();
        if (status == CCopyJob::kFailed) return false;
        if (status == CCopyJob::kIdle && job.GetPercent() == 100) return true;
        job.WaitForRun(100);
    }
}

bool DestinationIn(std::wstring* destination, const wchar_t* folder, const wchar_t* source) {
    std::wstring dir, name;
    if (!SplitPath(&dir, &name, source)) return false;
    *destination = std::wstring(folder) + L"\\" + name;
    return true;
}

bool CopyWithJob(const wchar_t* source, const wchar_t* destination) {
    CCopyJob job(Engine());
    return job.StartCopy(source, destination) && WaitForPiece(job);
}

bool CopyRaw(const wchar_t* source, const wchar_t* destination) {
    static char buffer[CCopyJob::kChunkBytes];
    // Not OpenJobSource: the jobs' sources are opened for overlapped reads.
    unique_hfile in(CreateFileW(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    unique_hfile out(CreateJobDestination(destination));
    if (!in || !out) return false;
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadFile(in.get(), buffer, sizeof buffer, &got, nullptr)) return false;
        if (got == 0) return true;
        if (!WriteFile(out.get(), buffer, got, &put, nullptr) || put != got) return false;
    }
}

bool CopyWithSystem(const wchar_t* source, const wchar_t* destination) {
    return CopyFileExW(source, destination, nullptr, nullptr, nullptr, 0) != FALSE;
}

int Copy(const char* label, bool (*copy)(const wchar_t*, const wchar_t*), const wchar_t* folder,
         wchar_t** sources, int count) {
    long long bytes = 0;
    double start = Now();
    // As the install sequence: every source is named to the engine ahead.
    if (copy == CopyWithJob) {
        for (int i = 0; i < count; ++i) Engine()->ReadAhead(sources[i], CCopyJob::kChunkBytes);
    }
    for (int i = 0; i < count; ++i) {
        std::wstring destination;
        if (!DestinationIn(&destination, folder, sources[i])) {
            std::fprintf(stderr, "bad path %ls\n", sources[i]);
            return 1;
        }
        if (!copy(sources[i], destination.c_str())) {
            std::fprintf(stderr, "copy of %ls failed\n", sources[i]);
            return 1;
        }
        bytes += SizeOf(sources[i]);
    }
    std::printf("%s %lld %.6f\n", label, bytes, Now() - start);
    return 0;
}

int Join(const wchar_t* destination, wchar_t** parts, int count) {
    long long bytes = 0;
    double start = Now();
    CJoinJob job(Engine());
    for (int i = 0; i < count; ++i) Engine()->ReadAhead(parts[i], CJoinJob::kChunkBytes);
    for (int i = 0; i < count; ++i) {
        bool started = i == 0 ? job.BeginJoin(destination, parts[i])
                       : i + 1 < count ? job.AppendPart(parts[i])
                                       : job.AppendLastPart(parts[i]);
        if (!started || !WaitForPiece(job)) {
            std::fprintf(stderr, "join of %ls failed\n", parts[i]);
            return 1;
        }
        bytes += SizeOf(parts[i]);
    }
    std::printf("join %lld %.6f\n", bytes, Now() - start);
    return 0;
}

}  // namespace

// The paths come as the system has them, in UTF-16.
int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 4) {
        std::printf("bench_copy: run through scripts/bench-copy.sh (make bench)\n");
        return 0;
    }
    const std::wstring mode = argv[1];
    if (mode == L"copy" || mode == L"join") Engine();
    if (mode == L"copy") return Copy("copy", CopyWithJob, argv[2], argv + 3, argc - 3);
    if (mode == L"raw") return Copy("raw", CopyRaw, argv[2], argv + 3, argc - 3);
    if (mode == L"copyfile") return Copy("copyfile", CopyWithSystem, argv[2], argv + 3, argc - 3);
    if (mode == L"join" && argc >= 5) return Join(argv[2], argv + 3, argc - 3);
    std::fprintf(stderr, "usage: bench_copy copy|raw|copyfile FOLDER SOURCE... | join FILE PART PART...\n");
    return 2;
}
